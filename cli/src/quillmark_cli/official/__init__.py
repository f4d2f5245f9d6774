"""Official documents laid out as the national standard for official
documents (GB/T 9704-2012) lays them out.

`lay_out` is a function from a package's bytes, as the generator wrote it,
to the laid-out package's bytes (`layout`). It changes only the parts it
must (`parts`, on the zip container of `container`): the section's page and
grid and the styles' defaults (`page_setup`, for the `Page` of `page`), the
page numbers' footers (`page_numbers`), the signature (`signature`), the
masthead (`masthead`) and the record block (`record_block`). The figures
the elements are placed by are named in `figures`, and lengths are
converted there; `geometry` measures the text block, `paragraphs` makes the
paragraphs the layout adds, and `wordml` writes and reads WordprocessingML.
The bundled official template (`official-template.json`, found through
`template`) carries the standard's page and fonts.
"""
