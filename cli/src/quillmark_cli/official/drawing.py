"""A picture floating over the text: the seal or the signer's signature
stamp, a PNG (with transparency, so that the text under it shows), placed
from the text block's left edge and from the top of the paragraph it is
anchored in, in front of the text, taking no room of its own. The picture
is a part of the package (word/media/), related to the main document."""

import struct

from quillmark_cli.official.parts import NotAPackage
from quillmark_cli.official.wordml import A_NS, PIC_NS, WP_NS, element

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


def floating_picture(identifier, number, name, width, height, left, top):
    """The run holding the picture `identifier` (a relationship id), `width`
    by `height` twips, its left edge `left` twips from the text block's,
    its top `top` twips from the top of its paragraph (negative: above)."""
    cx, cy = width * EMUS_PER_TWIP, height * EMUS_PER_TWIP
    return element(
        '<w:r><w:drawing><wp:anchor xmlns:wp="%s" distT="0" distB="0" distL="0" distR="0" simplePos="0" '
        'relativeHeight="%d" behindDoc="0" locked="1" layoutInCell="1" allowOverlap="1">'
        '<wp:simplePos x="0" y="0"/>'
        '<wp:positionH relativeFrom="margin"><wp:posOffset>%d</wp:posOffset></wp:positionH>'
        '<wp:positionV relativeFrom="paragraph"><wp:posOffset>%d</wp:posOffset></wp:positionV>'
        '<wp:extent cx="%d" cy="%d"/><wp:effectExtent l="0" t="0" r="0" b="0"/><wp:wrapNone/>'
        '<wp:docPr id="%d" name="%s"/>'
        '<wp:cNvGraphicFramePr><a:graphicFrameLocks xmlns:a="%s" noChangeAspect="1"/></wp:cNvGraphicFramePr>'
        '<a:graphic xmlns:a="%s"><a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/picture">'
        '<pic:pic xmlns:pic="%s"><pic:nvPicPr><pic:cNvPr id="%d" name="%s.png"/><pic:cNvPicPr/></pic:nvPicPr>'
        '<pic:blipFill><a:blip r:embed="%s"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>'
        '<pic:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="%d" cy="%d"/></a:xfrm>'
        '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>'
        '</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>' % (
            WP_NS, 251659264 + number, left * EMUS_PER_TWIP, top * EMUS_PER_TWIP, cx, cy, number, name, A_NS, A_NS,
            PIC_NS, number, name, identifier, cx, cy))


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
