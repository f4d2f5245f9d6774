"""Putting converted packages where the command line says: files written as
Unix tools write them (`writing`), the process's own descriptors
(`streams`), PDFs rendered by LibreOffice (`pdf/`), and each
package delivered to its target with its messages (`delivery`).
"""
