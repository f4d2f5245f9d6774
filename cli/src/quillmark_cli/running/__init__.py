"""The command as a process among others: SIGINT, SIGTERM and SIGHUP
(`signals`), worker processes for a batch (`workers`), and what people see
on standard error: escaped names (`terminal`), the progress bar
(`progress`) and the messages and summary (`reporting`).
"""
