"""The program icon: a clock face showing ten past ten.

This is the icon's source. Each size is described as a list of shapes in
pixel coordinates (origin at the top-left corner, y downwards), painted in
order; scripts/make-icon.py renders them, edges anti-aliased, and packs the
sizes into orvanta.ico. Small sizes get fewer, bolder details so that they
stay sharp.
"""

import math

SIZES = (16, 32, 48)

RIM_EDGE = (16, 56, 112, 255)
RIM = (33, 96, 178, 255)
FACE = (250, 251, 253, 255)
FACE_SHADE = (222, 230, 242, 255)
TICK = (52, 62, 82, 255)
HAND = (28, 33, 46, 255)
SECOND_HAND = (214, 52, 44, 255)

# Per size, in pixels: rim radius and width, face radius, tick lengths and
# widths and the hours that get a tick, hand lengths and widths.
DETAIL = {
    16: dict(rim=7.5, edge=1.0, face=5.9, shade=0.0, major=(1.5, 2.0), minor=None, hours=(0, 6),
             hour=(3.0, 1.6), minute=(4.5, 1.3), second=None, hub=1.1),
    32: dict(rim=15.5, edge=1.1, face=12.6, shade=0.8, major=(3.0, 2.0), minor=(1.6, 1.2), hours=range(12),
             hour=(6.4, 2.6), minute=(9.8, 2.0), second=(10.4, 0.9), hub=2.0),
    48: dict(rim=23.5, edge=1.3, face=19.4, shade=1.0, major=(4.5, 2.0), minor=(2.6, 1.5), hours=range(12),
             hour=(9.6, 3.6), minute=(15.0, 2.6), second=(16.0, 1.1), hub=2.8),
}

HOUR_ANGLE = (10 + 10 / 60) * 30  # degrees clockwise from twelve
MINUTE_ANGLE = 10 * 6
SECOND_ANGLE = 37 * 6


def _point(c, radius, degrees):
    a = math.radians(degrees)
    return (c + radius * math.sin(a), c - radius * math.cos(a))


def shapes(size):
    """The shapes of one icon size: ("circle", (cx, cy, r), colour),
    ("box", (cx, cy, half_length, half_width, degrees), colour) with the
    length along the direction of degrees, and ("capsule", (x0, y0, x1, y1,
    half_width), colour) for a bar with round ends."""
    d = DETAIL[size]
    c = size / 2
    out = [
        ("circle", (c, c, d["rim"]), RIM_EDGE),
        ("circle", (c, c, d["rim"] - d["edge"]), RIM),
    ]
    if d["shade"]:
        out.append(("circle", (c, c, d["face"]), FACE_SHADE))
        out.append(("circle", (c, c + d["shade"] * 0.5, d["face"] - d["shade"]), FACE))
    else:
        out.append(("circle", (c, c, d["face"]), FACE))

    for hour in d["hours"]:
        major = hour % 3 == 0
        if not major and d["minor"] is None:
            continue
        length, width = d["major"] if major else d["minor"]
        outer = d["face"] - (0.9 if size > 16 else 0.6)
        middle = outer - length / 2
        x, y = _point(c, middle, hour * 30)
        out.append(("box", (x, y, length / 2, width / 2, hour * 30), TICK))

    for angle, (length, width), colour in (
        (HOUR_ANGLE, d["hour"], HAND),
        (MINUTE_ANGLE, d["minute"], HAND),
    ):
        x, y = _point(c, length, angle)
        out.append(("capsule", (c, c, x, y, width / 2), colour))
    if d["second"]:
        length, width = d["second"]
        x0, y0 = _point(c, -length * 0.22, SECOND_ANGLE)
        x1, y1 = _point(c, length * 0.82, SECOND_ANGLE)
        out.append(("capsule", (x0, y0, x1, y1, width / 2), SECOND_HAND))
    out.append(("circle", (c, c, d["hub"]), HAND))
    if d["second"]:
        out.append(("circle", (c, c, d["hub"] * 0.45), SECOND_HAND))
    return out
