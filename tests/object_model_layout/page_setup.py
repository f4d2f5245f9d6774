"""Lengths as the object-model layout stored them."""

TWIPS_PER_MM = 1440 / 25.4


def twips(mm):
    """Twentieths of a point, as Word stores page lengths."""
    return int(round(mm * TWIPS_PER_MM))
