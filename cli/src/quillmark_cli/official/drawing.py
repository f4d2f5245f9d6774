"""Drawings floating over the text, in front of it and taking no room of
their own.

- Pictures: the seal or the signer's signature stamp, a PNG (with
  transparency, so that the text under it shows), placed from the text
  block's left edge and from the top of the paragraph it is anchored in;
  the picture is a part of the package (word/media/), related to the main
  document.
- Shapes placed from the page's edges: filled rectangles (the rules of a
  letter's double lines, crisp at any size) and text boxes (a letter's mark,
  which stands above the text block).

A drawing is anchored in a paragraph and shows on that paragraph's page.
"""

import struct

from quillmark_cli.official.parts import NotAPackage
from quillmark_cli.official.wordml import A_NS, PIC_NS, WP_NS, element

WPS_NS = "http://schemas.microsoft.com/office/word/2010/wordprocessingShape"
EMUS_PER_TWIP = 635
IMAGE = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image"
_PNG = b"\x89PNG\r\n\x1a\n"


def png_size(data):
    """(width, height) in pixels of a PNG; a ValueError for anything else."""
    if not isinstance(data, (bytes, bytearray)) or not data.startswith(_PNG) or data[12:16] != b"IHDR":
        raise ValueError("not a PNG image")
    width, height = struct.unpack(">II", data[16:24])
    if not width or not height:
        raise ValueError("a PNG image of no pixels")
    return width, height


def add_picture(parts, data, name):
    """The picture as a part of the package; its relationship's id."""
    return parts.add_media(parts.next_name("word/media/" + name + "%d.png"), data, "png", "image/png", IMAGE)


def floating_picture(identifier, number, name, width, height, left, top, horizontal="margin", vertical="paragraph"):
    """The run holding the picture `identifier` (a relationship id), `width`
    by `height` twips, its left edge `left` twips from the text block's (or
    from the edge `horizontal` names: "page"), its top `top` twips from the
    top of its paragraph (or of what `vertical` names: "page"; negative:
    above)."""
    cx, cy = width * EMUS_PER_TWIP, height * EMUS_PER_TWIP
    graphic = (
        '<a:graphic xmlns:a="%s"><a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/picture">'
        '<pic:pic xmlns:pic="%s"><pic:nvPicPr><pic:cNvPr id="%d" name="%s.png"/><pic:cNvPicPr/></pic:nvPicPr>'
        '<pic:blipFill><a:blip r:embed="%s"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>'
        '<pic:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="%d" cy="%d"/></a:xfrm>'
        '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>'
        '</a:graphicData></a:graphic>' % (A_NS, PIC_NS, number, name, identifier, cx, cy))
    return element(_anchor(graphic, number, name, width, height, left, top, horizontal, vertical,
                           '<a:graphicFrameLocks xmlns:a="%s" noChangeAspect="1"/>' % A_NS))


def floating_shape(number, name, width, height, left, top, fill=None, paragraphs=None, horizontal="page",
                   vertical="page"):
    """The run holding a rectangle `width` by `height` twips, placed from
    the page's left and top edges (or from what `horizontal` and `vertical`
    name), with no outline: filled in `fill` (RRGGBB), or, with
    `paragraphs` (their markup), a text box holding them with no margins
    inside it. Text flows under it as if it were not there."""
    text = paragraphs is not None
    graphic = (
        '<a:graphic xmlns:a="%s"><a:graphicData uri="%s"><wps:wsp xmlns:wps="%s">'
        '<wps:cNvSpPr%s/><wps:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="%d" cy="%d"/></a:xfrm>'
        '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom>%s<a:ln><a:noFill/></a:ln></wps:spPr>'
        '%s<wps:bodyPr rot="0" vert="horz" wrap="square" lIns="0" tIns="0" rIns="0" bIns="0" anchor="t" '
        'anchorCtr="0" upright="1"><a:noAutofit/></wps:bodyPr></wps:wsp></a:graphicData></a:graphic>' % (
            A_NS, WPS_NS, WPS_NS, ' txBox="1"' if text else "", width * EMUS_PER_TWIP, height * EMUS_PER_TWIP,
            '<a:solidFill><a:srgbClr val="%s"/></a:solidFill>' % fill if fill else "<a:noFill/>",
            "<wps:txbx><w:txbxContent>%s</w:txbxContent></wps:txbx>" % "".join(paragraphs) if text else ""))
    return element(_anchor(graphic, number, name, width, height, left, top, horizontal, vertical, ""))


def _anchor(graphic, number, name, width, height, left, top, horizontal, vertical, locks):
    """A drawing in front of the text, taking no room of its own."""
    return (
        '<w:r><w:drawing><wp:anchor xmlns:wp="%s" distT="0" distB="0" distL="0" distR="0" simplePos="0" '
        'relativeHeight="%d" behindDoc="0" locked="1" layoutInCell="1" allowOverlap="1">'
        '<wp:simplePos x="0" y="0"/>'
        '<wp:positionH relativeFrom="%s"><wp:posOffset>%d</wp:posOffset></wp:positionH>'
        '<wp:positionV relativeFrom="%s"><wp:posOffset>%d</wp:posOffset></wp:positionV>'
        '<wp:extent cx="%d" cy="%d"/><wp:effectExtent l="0" t="0" r="0" b="0"/><wp:wrapNone/>'
        '<wp:docPr id="%d" name="%s"/><wp:cNvGraphicFramePr>%s</wp:cNvGraphicFramePr>%s'
        '</wp:anchor></w:drawing></w:r>' % (
            WP_NS, 251659264 + number, horizontal, left * EMUS_PER_TWIP, vertical, top * EMUS_PER_TWIP,
            width * EMUS_PER_TWIP, height * EMUS_PER_TWIP, number, name, locks, graphic))


def scaled(data, width=None, height=None):
    """(width, height) in twips for a picture given one of them, keeping
    the PNG's proportions."""
    try:
        pixels_wide, pixels_high = png_size(data)
    except ValueError as error:
        raise NotAPackage("the seal image: %s" % error) from None
    if width is not None:
        return width, int(round(width * pixels_high / pixels_wide))
    return int(round(height * pixels_wide / pixels_high)), height
