"""PDF output: packages rendered by LibreOffice.

A batch (`batch`) is rendered by up to N LibreOffice processes at once,
each with a private profile (`profile`) that tags the PDFs, makes them
PDF/A-2b where asked, and stands free faces in for the fonts an official
document names and the machine lacks (`fonts`). Each process runs under a
keeper (`keeper`, a program of its own, started by `process`) that ends it
when the command stops or dies. LibreOffice is found on PATH, and a program
the system cannot run is explained (`program`); what went wrong is said in
one bounded line, and what LibreOffice wrote is checked to be a PDF
(`faults`).

The modules are imported where they are used: finding LibreOffice, which
every run that names the PDF needs, loads none of the others.
"""
