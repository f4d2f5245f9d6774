"""Official documents laid out as the national standard for official
documents (GB/T 9704-2012) lays them out.

`lay_out` is a function from a package's bytes, as the generator wrote it,
to the laid-out package's bytes (`layout`). It changes only the parts it
must (`parts`, on the zip container of `container`), and places each
element in a module of its own, which says where the standard puts it:

- the page: paper, margins, the grid of lines and the styles' defaults
  (`page_setup`, for the `Page` of `page`), and the page numbers
  (`page_numbers`);
- around the text: the masthead (`masthead`), the addressees
  (`addressees`), the signature, seal and date (`signature`, with pictures
  from `drawing`), the note (`note`), the attachments' list and pages
  (`attachments`), and the record block (`record_block`);
- in the text: the headings' numbers (`headings`) and the title's lines
  (`title`), found by their styles (`roles`, from what `style_table` reads
  of the styles);
- the file's properties (`properties`).

The figures the elements are placed by are named in `figures`, and lengths
are converted there; `geometry` measures the text block, `paragraphs` makes
the paragraphs the layout adds, and `wordml` writes and reads
WordprocessingML. The bundled official template (`official-template.json`,
found through `template`) carries the standard's page and fonts.
"""
