"""One module for each kind of block the converter turns into elements.

Each takes the converter, the parser's tokens, the index of the block's
first token and the containers it sits in (block quotes and lists), and
returns the index of the last token it used.
"""
