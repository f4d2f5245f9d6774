"""Rendering for the server: LibreOffice processes kept running, each with a
private profile (`profile`), driven through UNO by a bridge script run by
LibreOffice's own Python (`uno_bridge`); one of them (`renderer`) and the
bounded pool requests wait in (`pool`); PDF pages as PNG images
(`page_images`)."""
