"""Official documents laid out as the national standard for official
documents (GB/T 9704-2012) lays them out.

The generator builds the document as it always does; `layout` hands the
document to each step just before the package is written: the page set-up
(`page_setup`: paper, margins, default font size, language; `grid`: lines
a page and characters a line), the page numbers (`page_numbers`), the
signature (`signature`), the masthead (`masthead`) and the record block
(`record_block`). A template's `page` object is read by `page`; lengths
are converted in one place (`geometry`), and the small WordprocessingML
builders the steps share are in `wordml`. The bundled official template
(`official-template.json`, found through `template`) carries the standard's
page and fonts.
"""
