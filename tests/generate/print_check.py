#!/usr/bin/python3
"""Print check: every page of every layout prints whole, in the same place, in
LibreOffice and in Gnumeric.

For each layout (and the captions-off variants) two workbooks are written with
tavolin-batch, one with short captions and one with captions longer than the page is
wide; LibreOffice prints all of them to PDF in one start, Gnumeric prints each. On every
printed page: the page count; the pictures each page holds; no picture reaching out of
the page's printable area, not even as a strip of a fraction of a point; the page number
and the title, every glyph whole (not cut by its cell), on the page and not covered by a
picture; captions whole in height and not covered; no header or footer of the reader's
own. Every page's first picture at the same place, and between the two workbooks of a
layout the same picture positions. In the layouts without notes the pictures are
centred across the page.

The pictures are a tall one (narrower than any box: it takes a box's full height) and a
wide one (it takes a box's full width), so that every box is filled to its edges.

usage: print_check.py TAVOLIN_BATCH [--keep DIR]
Exit status 0 when every check passed; the failures are listed otherwise.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'support'))
sys.path.insert(0, HERE)
import printed_pages as pp  # noqa: E402
import xls_readers as rd  # noqa: E402
from roundtrip import LAYOUTS, Checks, print_to_pdf  # noqa: E402

TITLE = '現場写真 点検報告 Typography'
SHORT = '写真%d gyp'
LONG = '写真%d ' + '現場の状況を確認した記録 gyp ' * 8
# Whole columns centre a layout to half a column (6.1 pt at 90 %), and the readers
# round the centring of the printed range differently (Gnumeric by about 2 pt).
CENTRING_SLACK = 6.5
# Geometry the readers round: a hundredth of a point is no strip anyone sees, a glyph
# or picture reaching a tenth of a point beyond its edge is.
SLACK = 0.05


def write_bmp(path, width, height, rgb):
    row = bytes(rgb[::-1]) * width
    row += b'\0' * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + pixels)


def margins(path):
    """Left, right, top, bottom page margins in points, as the workbook stores them."""
    found = {}
    for rtype, data in rd.sheet_records(rd.workbook_stream(path)):
        if rtype in (0x26, 0x27, 0x28, 0x29):
            found[rtype] = struct.unpack('<d', data[:8])[0] * 72
    return found[0x26], found[0x27], found[0x28], found[0x29]


def write_workbooks(batch, work, tall, wide, check):
    """Two workbooks per layout, with short and with long captions, each with one picture
    on its last page: (name, path, layout, variant, picture count) of each."""
    books = []
    for li, layout in enumerate(LAYOUTS):
        key, captions, notes, rows, cols = layout[:5]
        per_page = rows * cols
        n = per_page + 1  # the last page holds one picture
        for variant in ('short', 'long'):
            name = '%02d-%s%s-%s' % (li, key, '' if captions else '-nocap', variant)
            out = os.path.join(work, name + '.xls')
            args = [batch, '--out', out, '--layout', key, '--title', TITLE]
            if not captions:
                args.append('--no-captions')
            for i in range(n):
                k = i % per_page
                picture = (tall if k % 2 == 0 else wide) if cols == 2 else (wide if k % 2 == 0 else tall)
                args.append('%s:0:%s' % (picture, (SHORT if variant == 'short' else LONG) % (i + 1)))
            r = subprocess.run(args, capture_output=True, text=True, timeout=300)
            if check(r.returncode == 0, '%s: tavolin-batch failed: %s' % (name, r.stderr[-300:])):
                books.append((name, out, layout, variant, n))
    return books


def print_books(books, pdfs, check):
    """LibreOffice prints every workbook in one start, Gnumeric each one."""
    print_to_pdf([b[1] for b in books], pdfs['LibreOffice'], check, timeout=900)
    os.makedirs(pdfs['Gnumeric'], exist_ok=True)
    for name, path, _, _, _ in books:
        g = subprocess.run(['ssconvert', path, os.path.join(pdfs['Gnumeric'], name + '.pdf')],
                           capture_output=True, text=True, timeout=300)
        check(g.returncode == 0, '%s: ssconvert failed: %s' % (name, g.stderr[-300:]))


def check_page(at, page, p, held, area, notes, check):
    """One printed page: its pictures inside the printable area, no header or footer of
    the reader's own, the page header once and whole, every text whole in height and
    uncovered, and (without notes) the first page's pictures centred."""
    sheet = (0, 0, page['width'], page['height'])
    check(len(page['images']) == held,
          '%s: %d pictures, the page holds %d' % (at, len(page['images']), held))
    for box in page['images']:
        check(pp.inside(box, area, SLACK),
              '%s: a picture at %s reaches out of the printable area %s' % (
                  at, tuple(round(v, 2) for v in box), tuple(round(v, 2) for v in area)))

    texts = [line['text'].strip() for line in page['lines']]
    check(not any(t == 'Sheet1' or re.match(r'Page \d+$', t) for t in texts),
          '%s: the reader printed its own header or footer: %r' % (at, texts))
    # The page header: printed once, every glyph whole and on the page.
    for wanted in ('Page.%d' % p, TITLE):
        found = pp.find_text(page, wanted)
        if not check(len(found) == 1 and found[0], '%s: %r printed %d times among %r' % (
                at, wanted, len(found), texts)):
            continue
        for g in found[0]:
            ink = g['ink']
            check(g['clip'] is None or pp.inside(ink, g['clip'], SLACK),
                  '%s: %r cut by its cell: ink %s, clip %s' % (at, wanted, ink, g['clip']))
            check(pp.inside(ink, sheet), '%s: %r off the page' % (at, wanted))
    # Every text (captions too) whole in height and uncovered; a caption longer than its
    # room may end at the printed range's side.
    for g in page['glyphs']:
        ink, clip = g['ink'], g['clip']
        check(clip is None or (ink[1] >= clip[1] - SLACK and ink[3] <= clip[3] + SLACK),
              '%s: text at %s cut in height by %s' % (at, ink, clip))
        check(not any(pp.overlap(ink, box, SLACK) for box in page['images']),
              '%s: text at %s covered by a picture' % (at, ink))
    if not notes and p == 1 and page['images']:
        x0 = min(b[0] for b in page['images'])
        x1 = max(b[2] for b in page['images'])
        off = (x0 + x1) / 2 - page['width'] / 2
        check(abs(off) <= CENTRING_SLACK,
              '%s: pictures %.1f pt off the middle of the page' % (at, off))


def check_printout(where, pdf, path, layout, n, check):
    """Every page of one reader's print of one workbook; the picture boxes of each page
    (None without a PDF)."""
    notes, rows, cols = layout[2], layout[3], layout[4]
    per_page = rows * cols
    expected_pages = (n - 1) // per_page + 1
    left, right, top, bottom = margins(path)
    if not check(os.path.exists(pdf), '%s: no PDF' % where):
        return None
    check(pp.page_count(pdf) == expected_pages,
          '%s: %d pages, the layout has %d' % (where, pp.page_count(pdf), expected_pages))
    pages = pp.pages(pdf)
    for p, page in enumerate(pages, 1):
        area = (left, top, page['width'] - right, page['height'] - bottom)
        held = min(per_page, n - (p - 1) * per_page)
        check_page('%s, page %d' % (where, p), page, p, held, area, notes, check)
    boxes = [sorted(tuple(round(v, 1) for v in b) for b in page['images']) for page in pages]
    # Each page's first picture (the same one) prints at the same place.
    firsts = {min(page, key=lambda b: (b[1], b[0])) for page in boxes if page}
    check(len(firsts) == 1, '%s: the pages place their first picture at %r' % (where, firsts))
    return boxes


def main(argv):
    batch = argv[1]
    keep = argv[argv.index('--keep') + 1] if '--keep' in argv else None
    work = keep or tempfile.mkdtemp(prefix='tavolin-print-')
    os.makedirs(work, exist_ok=True)
    tall, wide = os.path.join(work, 'tall.bmp'), os.path.join(work, 'wide.bmp')
    write_bmp(tall, 40, 100, (40, 90, 160))
    write_bmp(wide, 250, 50, (160, 90, 40))
    check = Checks()
    books = write_workbooks(batch, work, tall, wide, check)
    pdfs = {'LibreOffice': os.path.join(work, 'lo'), 'Gnumeric': os.path.join(work, 'gnumeric')}
    print_books(books, pdfs, check)

    positions = {}  # (reader, layout index) -> {variant: (name, picture boxes per page)}
    for name, path, layout, variant, n in books:
        for reader, folder in pdfs.items():
            boxes = check_printout('%s, %s' % (name, reader), os.path.join(folder, name + '.pdf'),
                                   path, layout, n, check)
            if boxes is not None:
                positions.setdefault((reader, LAYOUTS.index(layout)), {})[variant] = (name, boxes)
    # Between the two workbooks of a layout the pictures print at the same places.
    for (reader, _), variants in positions.items():
        if len(variants) == 2:
            (short_name, short), (_, long_) = variants['short'], variants['long']
            check(short == long_, '%s, %s: pictures move with the captions: %r against %r' % (
                short_name, reader, short, long_))

    if not keep:
        shutil.rmtree(work, ignore_errors=True)
    return check.report('%d workbooks printed by LibreOffice and Gnumeric' % len(books))


if __name__ == '__main__':
    sys.exit(main(sys.argv))
