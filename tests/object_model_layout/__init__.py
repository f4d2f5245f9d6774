"""The official layout as it was written before it worked on the package's
bytes: python-docx's object model, edited in the generator's `save` just
before the package is written. Kept as the reference the byte layout is
compared with (test_layout_equivalence.py), unchanged but for its imports
and one mend: the settings' w:zoom gets the percentage the schema requires
also when there is no page layout (it was left incomplete, and the package
did not validate)."""
