#!/usr/bin/env python3
"""Draws the program's pictures and writes them as XPM files with icons.qrc.

Run from anywhere: python3 make_icons.py. The XPM files are committed, so
the build needs no Python; rerun after changing a picture here.
"""
import os

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

def film_frame(c, x0, y0, w, h, hole):
    """A grey film frame with a black border, white perforation on both sides."""
    c.rect(x0, y0, x0 + w - 1, y0 + h - 1, '.', '#')
    strip = max(2, w // 5)
    c.fill(x0 + strip, y0 + 1, x0 + w - 1 - strip, y0 + h - 2, '+')
    c.rect(x0 + strip, y0 + 1, x0 + w - 1 - strip, y0 + h - 2, '.')
    step = hole * 2
    for y in range(y0 + 2, y0 + h - 1 - hole + 1, step):
        for side in (x0 + 1 + (strip - 1 - hole) // 2, x0 + w - 1 - strip + 1 + (strip - 1 - hole) // 2):
            c.fill(side, y, side + hole - 1, y + hole - 1, 'w')


def program_icon(size):
    c = Canvas(size)
    if size == 16:
        film_frame(c, 0, 0, 10, 11, 1)
        film_frame(c, 6, 5, 10, 11, 1)
    else:
        film_frame(c, 0, 0, 20, 22, 2)
        film_frame(c, 12, 10, 20, 22, 2)
    return c


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


if __name__ == '__main__':
    main()
