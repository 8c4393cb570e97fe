#!/usr/bin/env python3
"""Draws the program's pictures and writes them as XPM files with icons.qrc,
and the program icon for the desktop as PNG files and an SVG file under
packaging/icons/hicolor/.

Run from anywhere: python3 make_icons.py. What it writes is committed, so
the build needs no Python; rerun after changing a picture here.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

PALETTE = {
    ' ': 'None',
    '.': '#000000',  # black
    '#': '#808080',  # grey
    '+': '#C0C0C0',  # silver
    'w': '#FFFFFF',  # white
    'y': '#FFFF00',  # yellow
    'o': '#C0A000',  # dark yellow
    'b': '#000080',  # navy
    'B': '#0000FF',  # blue
    'c': '#00FFFF',  # cyan
    't': '#008080',  # teal
    'r': '#FF0000',  # red
    'R': '#800000',  # maroon
    'g': '#008000',  # green
    'h': '#F0D0A8',  # skin
}


class Canvas:
    def __init__(self, size=16):
        self.size = size
        self.px = [[' '] * size for _ in range(size)]

    def put(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def hline(self, x0, x1, y, c):
        for x in range(x0, x1 + 1):
            self.put(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(y0, y1 + 1):
            self.put(x, y, c)

    def rect(self, x0, y0, x1, y1, outline, fill=None):
        if fill:
            for y in range(y0 + 1, y1):
                self.hline(x0 + 1, x1 - 1, y, fill)
        self.hline(x0, x1, y0, outline)
        self.hline(x0, x1, y1, outline)
        self.vline(x0, y0, y1, outline)
        self.vline(x1, y0, y1, outline)

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            self.hline(x0, x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.put(x0, y0, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def art(self, x0, y0, rows):
        """Copies ASCII art; spaces leave what is there."""
        for dy, row in enumerate(rows):
            for dx, c in enumerate(row):
                if c != ' ':
                    self.put(x0 + dx, y0 + dy, c)

    def rows(self):
        return [''.join(r) for r in self.px]


def from_art(rows):
    c = Canvas(len(rows))
    assert all(len(r) == len(rows) for r in rows), rows
    c.art(0, 0, rows)
    return c


def page(c, x0, y0, x1, y1, outline='.', lines=True, ear=3):
    """A sheet with a folded corner at the top right and lines of text."""
    c.rect(x0, y0, x1, y1, outline, 'w')
    for i in range(ear):
        c.hline(x1 - ear + 1 + i, x1, y0 + i, ' ')
    c.line(x1 - ear, y0, x1, y0 + ear, outline)
    c.vline(x1 - ear, y0, y0 + ear, outline)
    c.hline(x1 - ear, x1, y0 + ear, outline)
    if lines:
        for y in range(y0 + 3, y1 - 1, 2):
            c.hline(x0 + 2, x1 - ear - 1 if y <= y0 + ear else x1 - 2, y, '#')


def window(c, x0, y0, x1, y1):
    """A small window: navy title bar, white client area."""
    c.rect(x0, y0, x1, y1, '.', 'w')
    c.hline(x0 + 1, x1 - 1, y0 + 1, 'b')


# --- the image list -------------------------------------------------------

def cut():
    return from_art([
        "                ",
        "    .      .    ",
        "    .+    +.    ",
        "    .+    +.    ",
        "     .+  +.     ",
        "     .+  +.     ",
        "      .++.      ",
        "      .++.      ",
        "       ..       ",
        "      b..b      ",
        "     bb  bb     ",
        "   bbbb  bbbb   ",
        "  b   b  b   b  ",
        "  b   b  b   b  ",
        "  b   b  b   b  ",
        "   bbb    bbb   ",
    ])


def copy():
    c = Canvas()
    page(c, 1, 1, 9, 11)
    page(c, 6, 4, 14, 15, outline='b')
    return c


def paste():
    c = Canvas()
    # the clipboard: brown board with a silver clip
    c.rect(1, 2, 11, 14, '.', 'o')
    c.fill(4, 1, 8, 3, '+')
    c.rect(4, 1, 8, 3, '.')
    c.hline(5, 7, 2, '#')
    page(c, 6, 6, 14, 15, outline='b')
    return c


def undo():
    return from_art([
        "                ",
        "                ",
        "                ",
        "    .           ",
        "   ..           ",
        "  .b.....       ",
        " .bbbbbbb..     ",
        "  .b.....bb.    ",
        "   ..     .b.   ",
        "    .      .b.  ",
        "            .b. ",
        "            .b. ",
        "           .b.  ",
        "          .b.   ",
        "          ..    ",
        "                ",
    ])


def redo():
    c = undo()
    for row in c.px:
        row.reverse()
    return c


def delete():
    return from_art([
        "                ",
        "                ",
        "  ..        ..  ",
        "  ...      ...  ",
        "   ...    ...   ",
        "    ...  ...    ",
        "     ......     ",
        "      ....      ",
        "      ....      ",
        "     ......     ",
        "    ...  ...    ",
        "   ...    ...   ",
        "  ...      ...  ",
        "  ..        ..  ",
        "                ",
        "                ",
    ])


def new():
    c = Canvas()
    page(c, 3, 1, 12, 14, lines=False, ear=4)
    return c


def open_():
    return from_art([
        "                ",
        "         ...    ",
        "        .   . . ",
        "             .. ",
        " ...        ... ",
        ".yoy.......     ",
        ".oyoyoyoyo.     ",
        ".yoyoyoyoy.     ",
        ".oyoy...........",
        ".yoy.yyyyyyyyy. ",
        ".oy.yyyyyyyyy.  ",
        ".y.yyyyyyyyy.   ",
        "..yyyyyyyyy.    ",
        "...........     ",
        "                ",
        "                ",
    ])


def save():
    c = Canvas()
    c.rect(1, 1, 14, 14, '.', 'b')
    c.fill(4, 2, 11, 7, 'w')
    c.hline(5, 10, 3, '#')
    c.hline(5, 10, 5, '#')
    c.fill(4, 10, 11, 14, '+')
    c.rect(4, 10, 11, 14, '.')
    c.fill(6, 11, 7, 13, 'b')
    c.put(1, 1, ' ')
    return c


def preview():
    c = Canvas()
    page(c, 1, 1, 11, 14)
    magnifier(c, 6, 6)
    return c


def magnifier(c, x, y):
    """A lens whose top-left corner is at (x, y), handle to the lower right."""
    c.art(x, y, [
        " ... ",
        ".ccw.",
        ".cc+.",
        ".c++.",
        " ... ",
    ])
    c.line(x + 4, y + 4, x + 7, y + 7, 'R')
    c.line(x + 5, y + 4, x + 8, y + 7, 'R')


def form():
    c = Canvas()
    window(c, 0, 0, 12, 11)
    c.hline(2, 5, 4, '#')
    c.rect(6, 3, 10, 5, '#', 'w')
    c.hline(2, 5, 7, '#')
    c.rect(6, 6, 10, 8, '#', 'w')
    c.art(7, 8, [
        "  .     ",
        " .h.    ",
        " .h...  ",
        " .hhhh. ",
        "..hhhh. ",
        ".hhhhh. ",
        " .hhh.  ",
        "  ...   ",
    ])
    return c


def help_pointer():
    return from_art([
        ".               ",
        "..        ....  ",
        ".w.      .bbbb. ",
        ".ww.    .bb..bb.",
        ".www.   .bb..bb.",
        ".wwww.   .. .bb.",
        ".wwwww.    .bb. ",
        ".wwwwww.  .bb.  ",
        ".wwwww..  .bb.  ",
        ".ww.ww.    ..   ",
        ".w. .ww.  .bb.  ",
        "..  .ww.  .bb.  ",
        "     .ww.  ..   ",
        "     .ww.       ",
        "      ..        ",
        "                ",
    ])


def find():
    c = Canvas()
    c.art(1, 1, [
        "   ....   ",
        "  .cccw.  ",
        " .ccccww. ",
        ".ccccccw+.",
        ".cccccc++.",
        ".ccccc+++.",
        ".cccc++++.",
        " .c+++++. ",
        "  .++++.  ",
        "   ....   ",
    ])
    for i in range(5):
        c.put(10 + i, 10 + i, 'R')
        c.put(11 + i, 10 + i, 'R')
        c.put(10 + i, 11 + i, 'R')
    return c


def replace():
    c = Canvas()
    magnifier(c, 0, 0)
    # two red arrows: one to the right, one to the left
    c.hline(6, 13, 9, 'r')
    c.art(12, 7, ["r  ", "rr ", "rrr", "rr ", "r  "])
    c.hline(3, 10, 13, 'r')
    c.art(2, 11, ["  r", " rr", "rrr", " rr", "  r"])
    return c


def print_():
    c = Canvas()
    page(c, 4, 0, 11, 6, lines=False, ear=2)
    c.rect(1, 6, 14, 12, '.', '+')
    c.hline(2, 13, 7, 'w')
    c.put(12, 9, 'g')
    c.fill(3, 12, 12, 14, 'w')
    c.rect(3, 11, 12, 14, '.')
    c.hline(5, 10, 13, '#')
    return c


def tile_horizontal():
    c = Canvas()
    c.rect(0, 1, 15, 14, '.', 'w')
    c.hline(1, 14, 2, 'b')
    c.hline(1, 14, 7, '.')
    c.hline(1, 14, 8, 'b')
    return c


def tile_vertical():
    c = Canvas()
    c.rect(0, 1, 15, 14, '.', 'w')
    c.hline(1, 14, 2, 'b')
    c.vline(7, 2, 13, '.')
    c.vline(8, 2, 13, '.')
    c.hline(1, 6, 2, 'b')
    c.hline(9, 14, 2, 'b')
    return c


def cascade():
    c = Canvas()
    window(c, 0, 0, 9, 8)
    window(c, 3, 3, 12, 11)
    window(c, 6, 6, 15, 15)
    return c


IMAGES = [
    ('00_cut', cut), ('01_copy', copy), ('02_paste', paste), ('03_undo', undo), ('04_redo', redo),
    ('05_delete', delete), ('06_new', new), ('07_open', open_), ('08_save', save),
    ('09_preview', preview), ('10_form', form), ('11_helppointer', help_pointer), ('12_find', find),
    ('13_replace', replace), ('14_print', print_), ('15_tilehorizontal', tile_horizontal),
    ('16_tilevertical', tile_vertical), ('17_cascade', cascade),
]


# --- the program icon: two overlapping film-strip frames ------------------
#
# One drawing for every size: program_shapes(n) lists the shapes of an n-pixel
# icon in pixels. Up to 32 pixels every edge falls on the pixel grid and only
# the four colours of the window icons are used; larger sizes get rounded
# corners, a shadow and a star drawn in the front frame. The same shapes give
# the XPM window icons, the PNG desktop icons and the scalable SVG.

BLACK, GREY, SILVER, WHITE = '#000000', '#808080', '#C0C0C0', '#FFFFFF'
LASER = '#00A000'  # the line drawn in the front frame from 48 pixels on


class Shape:
    """A filled rectangle from (x0, y0) to (x1, y1), optionally rounded and translucent."""

    def __init__(self, x0, y0, x1, y1, colour, radius=0, opacity=1.0):
        self.x0, self.y0, self.x1, self.y1 = x0, y0, x1, y1
        self.colour, self.radius, self.opacity = colour, radius, opacity

    def bounds(self):
        return self.x0, self.y0, self.x1, self.y1

    def coverage(self, px, py):
        """The part of pixel (px, py) that the shape covers, 0 to 1."""
        w = min(px + 1, self.x1) - max(px, self.x0)
        h = min(py + 1, self.y1) - max(py, self.y0)
        if w <= 0 or h <= 0:
            return 0.0
        r = self.radius
        near_x = px < self.x0 + r or px + 1 > self.x1 - r
        near_y = py < self.y0 + r or py + 1 > self.y1 - r
        if not (near_x and near_y):
            return w * h
        return sampled(px, py, self.inside)

    def inside(self, x, y):
        if not (self.x0 <= x < self.x1 and self.y0 <= y < self.y1):
            return False
        r = self.radius
        cx = min(max(x, self.x0 + r), self.x1 - r)
        cy = min(max(y, self.y0 + r), self.y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    def svg(self):
        attrs = 'x="%s" y="%s" width="%s" height="%s"' % (
            num(self.x0), num(self.y0), num(self.x1 - self.x0), num(self.y1 - self.y0))
        if self.radius:
            attrs += ' rx="%s"' % num(self.radius)
        attrs += ' fill="%s"' % self.colour
        if self.opacity < 1:
            attrs += ' fill-opacity="%s"' % num(self.opacity)
        return '<rect %s/>' % attrs


class Stroke:
    """A closed line through points, as a laser draws it, with round joins."""

    def __init__(self, points, width, colour):
        self.points, self.width, self.colour, self.opacity = points, width, colour, 1.0

    def bounds(self):
        xs, ys, h = [p[0] for p in self.points], [p[1] for p in self.points], self.width / 2
        return min(xs) - h, min(ys) - h, max(xs) + h, max(ys) + h

    def coverage(self, px, py):
        return sampled(px, py, self.inside)

    def inside(self, x, y):
        limit = (self.width / 2) ** 2
        pts = self.points
        for (ax, ay), (bx, by) in zip(pts, pts[1:] + pts[:1]):
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= limit:
                return True
        return False

    def svg(self):
        return ('<polygon points="%s" fill="none" stroke="%s" stroke-width="%s" stroke-linejoin="round"/>' %
                (' '.join('%s,%s' % (num(x), num(y)) for x, y in self.points), self.colour, num(self.width)))


def sampled(px, py, inside):
    """Coverage of pixel (px, py) from 8 x 8 samples."""
    hits = 0
    for j in range(8):
        for i in range(8):
            hits += inside(px + (i + 0.5) / 8, py + (j + 0.5) / 8)
    return hits / 64


def num(v):
    return ('%.2f' % v).rstrip('0').rstrip('.')


def film_frame_shapes(x0, y0, w, h, n):
    """A grey film frame with a black border, a silver picture window and
    white perforation on both sides."""
    small = n <= 32
    border = max(1, round(n / 40))
    strip = int(w * 0.15 + 0.25)  # between the outer border and the window's
    hole = max(1, round(strip * 0.6))
    hole_h = hole if n <= 64 else round(hole * 0.7)  # square while holes are a few pixels
    pitch = 2 * hole_h
    gap = 0 if small else border  # grey above and below the window
    r = 0 if small else n / 24
    shapes = [
        Shape(x0, y0, x0 + w, y0 + h, BLACK, r),
        Shape(x0 + border, y0 + border, x0 + w - border, y0 + h - border, GREY, max(0, r - border)),
    ]
    wx0, wx1 = x0 + border + strip, x0 + w - border - strip
    wy0, wy1 = y0 + border + gap, y0 + h - border - gap
    shapes.append(Shape(wx0, wy0, wx1, wy1, BLACK, r / 3))
    window = Shape(wx0 + border, wy0 + border, wx1 - border, wy1 - border, SILVER, max(0, r / 3 - border))
    shapes.append(window)
    inner = h - 2 * border
    margin = max(1, (pitch - hole_h) // 2)  # grey between the end holes and the border
    count = (inner - 2 * margin + pitch - hole_h) // pitch
    top = y0 + border + (inner - (count * pitch - (pitch - hole_h))) // 2
    for left in (x0 + border, wx1):
        hx = left + (strip - hole) // 2
        for i in range(count):
            hy = top + i * pitch
            shapes.append(Shape(hx, hy, hx + hole, hy + hole_h, WHITE, 0 if small else hole_h / 4))
    return shapes, window


def star(window, n):
    """A five-pointed star drawn in one line, centred in the window."""
    cx, cy = (window.x0 + window.x1) / 2, (window.y0 + window.y1) / 2
    r = 0.42 * min(window.x1 - window.x0, window.y1 - window.y0)
    points = [(cx + r * math.sin(k * 4 * math.pi / 5), cy - r * math.cos(k * 4 * math.pi / 5)) for k in range(5)]
    return Stroke(points, max(1.5, n / 48), LASER)


def program_shapes(n):
    small = n <= 32
    margin = 0 if small else round(n / 32)  # room for the shadow
    size = n - 2 * margin
    w, h = round(size * 0.625), round(size * 0.6875)
    shapes, _ = film_frame_shapes(margin, margin, w, h, n)
    front, window = film_frame_shapes(n - margin - w, n - margin - h, w, h, n)
    if not small:
        off = n / 48
        x0, y0 = n - margin - w, n - margin - h
        shapes.append(Shape(x0 - off, y0 + off, x0 + w - off, y0 + h + off, BLACK, n / 24, 0.3))
    shapes += front
    if not small:
        shapes.append(star(window, n))
    return shapes


def program_icon(size):
    """The window icon: the shapes on the pixel grid, in palette letters."""
    letters = {BLACK: '.', GREY: '#', SILVER: '+', WHITE: 'w'}
    c = Canvas(size)
    for s in program_shapes(size):
        assert s.radius == 0 and s.opacity == 1.0
        c.fill(s.x0, s.y0, s.x1 - 1, s.y1 - 1, letters[s.colour])
    return c


# --- PNG and SVG --------------------------------------------------------

def render(shapes, n):
    """Paints the shapes in order; returns rows of premultiplied RGBA floats."""
    img = [[[0.0, 0.0, 0.0, 0.0] for _ in range(n)] for _ in range(n)]
    for s in shapes:
        rgb = [int(s.colour[i:i + 2], 16) / 255 for i in (1, 3, 5)]
        x0, y0, x1, y1 = s.bounds()
        for py in range(max(0, int(y0)), min(n, int(y1) + 1)):
            for px in range(max(0, int(x0)), min(n, int(x1) + 1)):
                a = s.coverage(px, py) * s.opacity
                if a > 0:
                    p = img[py][px]
                    for k in range(3):
                        p[k] = rgb[k] * a + p[k] * (1 - a)
                    p[3] = a + p[3] * (1 - a)
    return img


def png_bytes(img):
    """An 8-bit RGBA PNG of the rendered picture."""
    raw = bytearray()
    for row in img:
        raw.append(0)  # no filter
        for r, g, b, a in row:
            if a <= 0:
                raw += bytes(4)
            else:
                raw += bytes(round(min(1.0, v / a) * 255) for v in (r, g, b)) + bytes([round(a * 255)])

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data)))
    n = len(img)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', n, n, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def svg_text(shapes, n):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">' % (n, n, n, n)]
    lines += ['  ' + s.svg() for s in shapes]
    lines.append('</svg>')
    return '\n'.join(lines) + '\n'


DESKTOP_ICONS = os.path.join(HERE, '..', '..', '..', 'packaging', 'icons', 'hicolor')
APP_ID = 'org.trevasc.Trevasc'
DESKTOP_SIZES = (16, 32, 48, 64, 128, 256)


def write_desktop_icons():
    for n in DESKTOP_SIZES:
        folder = os.path.join(DESKTOP_ICONS, '%dx%d' % (n, n), 'apps')
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, APP_ID + '.png'), 'wb') as f:
            f.write(png_bytes(render(program_shapes(n), n)))
    folder = os.path.join(DESKTOP_ICONS, 'scalable', 'apps')
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, APP_ID + '.svg'), 'w') as f:
        f.write(svg_text(program_shapes(256), 256))


def write_xpm(name, canvas):
    rows = canvas.rows()
    used = sorted({ch for row in rows for ch in row})
    lines = ['/* XPM */', 'static const char* const %s_xpm[] = {' % name.replace('-', '_'),
             '"%d %d %d 1",' % (canvas.size, canvas.size, len(used))]
    lines += ['"%s c %s",' % (ch, PALETTE[ch]) for ch in used]
    lines += ['"%s",' % row for row in rows]
    lines[-1] = lines[-1].rstrip(',')
    lines.append('};')
    with open(os.path.join(HERE, name + '.xpm'), 'w') as f:
        f.write('\n'.join(lines) + '\n')
    return name + '.xpm'


def main():
    files = [write_xpm('img' + name, fn()) for name, fn in IMAGES]
    files.append(write_xpm('program16', program_icon(16)))
    files.append(write_xpm('program32', program_icon(32)))
    with open(os.path.join(HERE, 'icons.qrc'), 'w') as f:
        f.write('<RCC>\n  <qresource prefix="/icons">\n')
        for name in files:
            f.write('    <file>%s</file>\n' % name)
        f.write('  </qresource>\n</RCC>\n')
    write_desktop_icons()


if __name__ == '__main__':
    main()
