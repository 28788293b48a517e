#!/usr/bin/python3
"""Round trip of generated workbooks through readers we did not write.

Writes one workbook per layout (all ten, plus the three captions-off variants that
change the geometry) and one of the newer picture types (HEIC, PNG, TIFF, WebP, each
stored turned its own way) with tavolin-batch, then checks what xlrd, a raw BIFF walk,
Gnumeric (ssconvert) and LibreOffice (PDF print) see: page headers, captions, ruled
notes lines and the notes written on them, picture anchors and sizes, picture count,
JPEG-only pictures, document properties, manual page breaks, and that LibreOffice prints
one page per layout page and every note line inside its notes column.

The rows of each run but the last come from a photo list file (--list), the last one
from an IMAGE argument, so that the list's rows, names and notes go through too.

usage: roundtrip.py TAVOLIN_BATCH IMAGE_FOLDER [--keep DIR]
Exit status 0 when every check passed; the failures are listed otherwise.
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import xlrd

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
import printed_pages as pp  # noqa: E402
import xls_readers as rd  # noqa: E402

# Titles that read like numbers ("0012", "2024.10", "1e3") must stay text in every reader.
TITLES = ['現場写真 点検', '0012', '2024.10', '1e3']
PROPS = dict(subject='表題テスト', author='山田 太郎', comments='コメント、日本語')

# Upright pixel size of each test picture (its recorded orientation applied), before the
# run turns it. The last four are the newer types, each stored turned or mirrored in its
# own way (a phone HEIC turned by its container while its EXIF says 6, a PNG with an eXIf
# orientation, a TIFF with an Orientation tag, a WebP with an EXIF orientation); they are
# read from the picture tests' corpus.
IMAGES = [
    ('photo_0.5mp_olympus_snow.jpg', 800, 600),
    ('orientation_6.jpg', 50, 70),
    ('photo_hopper_128.gif', 128, 128),
    ('photo_video001_24bit.bmp', 150, 103),
    ('transparent_200x150.gif', 200, 150),
    ('orientation_1.jpg', 50, 70),
    ('photo_grey_oneplus_tower.jpg', 512, 512),
    ('../images/heic/photo_12mp_iphone_xr_portrait_irot.heic', 3024, 4032),
    ('../images/png/orientation/orientation_6_DERIVED.png', 50, 70),
    ('../images/tiff/orientation/orientation_8_DERIVED.tif', 50, 70),
    ('../images/webp/orientation/orientation_5_DERIVED.webp', 50, 70),
]
ROTATIONS = ['0', '90', '0', '270', '180', '0', '90', '0', '90', '0', '180']
# None: the caption is the file's name. The second one is longer than any page is wide:
# it must end at the page's edge, not print a column of extra pages.
DISPLAY_NAMES = [None, '写真2 ' + '現場の状況を確認した記録' * 8] + \
    ['写真%d' % (i + 1) for i in range(2, 7)] + [None, '写真9', None, '写真11']
# The notes of the pictures (None: no note): two lines of Japanese, Latin words, and one
# far longer than any notes area, which must end with "…". Layouts without notes areas
# print none of them.
NOTES = ['北側外壁の塗装にひび割れ\n幅 約0.3mm、長さ 1.2m', 'Rust on the railing by the stairs, about 20 cm',
         None, '漏水の跡' * 60, None, None, None, None, None, None, None]
CLASSIC = list(range(7))  # the pictures of the runs over every layout
NEWER_TYPES = [7, 8, 9, 10, 0]  # one more run: the newer types and a second page

# key, captions, withNotes, rows, cols, columns, firstRow, rowPitch, pageRows,
# captionOffset, headerOffset, pageNumberColumn, titleColumn, box, notesLines
LAYOUTS = [
    ('plain-2', True, False, 2, 1, ['H'], 6, 29, 59, 23, 5, 'AH', 'H', (370, 278), 0),
    ('plain-3', True, False, 3, 1, ['J'], 2, 20, 59, 17, 1, 'AH', 'J', (300, 225), 0),
    ('plain-square-4', True, False, 2, 2, ['C', 'W'], 6, 32, 59, 16, 5, 'AM', 'C', (233.25, 215.25), 0),
    ('plain-square-4', False, False, 2, 2, ['C', 'W'], 2, 29, 59, 0, 1, 'AM', 'C', (244.5, 379.5), 0),
    ('plain-square-6', True, False, 3, 2, ['C', 'W'], 6, 20, 59, 13, 5, 'AM', 'C', (233.25, 174.75), 0),
    ('plain-square-6', False, False, 3, 2, ['C', 'W'], 2, 19, 59, 0, 1, 'AM', 'C', (244.5, 252.3), 0),
    ('plain-square-8', True, False, 4, 2, ['F', 'Z'], 3, 15, 59, 11, 2, 'AM', 'F', (190, 143), 0),
    ('plain-square-8', False, False, 4, 2, ['F', 'Z'], 4, 14, 59, 0, 2, 'AM', 'F', (190, 155), 0),
    ('notes-2', True, True, 2, 1, ['B'], 3, 23, 44, 0, 1, 'D', 'B', (370, 297), 16),
    ('notes-3', True, True, 3, 1, ['B'], 3, 14, 44, 0, 1, 'D', 'B', (311, 233), 13),
    ('notes-4', True, True, 4, 1, ['B'], 2, 11, 44, 0, 1, 'D', 'B', (257, 178), 10),
    ('notes-square-4', True, True, 2, 2, ['B', 'D'], 3, 22, 44, 11, 1, 'D', 'B', (242, 186), 9),
    ('notes-square-6', False, True, 3, 2, ['B', 'D'], 3, 14, 44, 11, 1, 'D', 'B', (242, 186), 2),
]


def f32(x):
    import struct
    return struct.unpack('<f', struct.pack('<f', x))[0]


def fit(w, h, bw, bh):
    if h > w:
        if w * bh / h > bw:
            return bw, h * bw / w
        return w * bh / h, bh
    fw, fh = bw, h * bw / w
    if fh > bh:
        fw, fh = w * bh / h, bh
    return fw, fh


def picture_at(pictures, i):
    return pictures[i % len(pictures)]


def expected_pictures(layout, n, pictures):
    key, captions, notes, rows, cols, columns, first, pitch, page_rows, cap_off, hdr_off, pn_col, t_col, box, lines = layout
    per_page = rows * cols
    out = []
    for i in range(n):
        page = i // per_page + 1
        k = i - (page - 1) * per_page
        row_on_page = k // cols + 1
        top = first + (row_on_page - 1) * pitch + (page - 1) * page_rows
        col = columns[0] if i % cols == 0 else columns[1]
        p = picture_at(pictures, i)
        name, w, h = IMAGES[p]
        name = os.path.basename(name)
        rot = ROTATIONS[p]
        if DISPLAY_NAMES[p] is not None:
            name = DISPLAY_NAMES[p]
        if rot in ('90', '270'):
            w, h = h, w
        bw, bh = (box if notes else (f32(box[0]), f32(box[1])))
        e = dict(i=i, page=page, row_on_page=row_on_page, top=top, col=col, anchor='%s%d' % (col, top),
                 name=name, size=fit(w, h, bw, bh), note=NOTES[p] if i < n - 1 else None)
        # Every page's first picture writes the page's header.
        e['header'] = k == 0
        e['header_row'] = top - (1 if notes else hdr_off)
        if notes and cols == 1:
            e['anchor'] = 'B%d' % top
            e['caption'] = 'D%d' % top
            e['notes'] = ('D', top, top + lines - 1)
        elif notes:
            e['caption'] = '%s%d' % (col, top + cap_off)
            e['notes'] = (col, top + cap_off, top + cap_off + lines - 1)
        else:
            e['caption'] = '%s%d' % (col, top + cap_off)
        out.append(e)
    return out


def col_px(raw_256, mdw=8):
    """Pixels of a column stored as `raw_256` 256ths of a character, for a font whose digit
    is `mdw` pixels wide: the width rounded to the pixel grid as spreadsheet programs do,
    fractions of a pixel dropped."""
    return int(((raw_256 + int(128 / mdw)) / 256.0) * mdw)


class Checks:
    """The failed checks of a script: check(ok, what) records `what` unless ok."""

    def __init__(self):
        self.failures = []

    def __call__(self, ok, what):
        if not ok:
            self.failures.append(what)
        return ok

    def report(self, summary):
        """Prints the summary, the number of failures and each failure; the exit status."""
        print('%s, %d failures' % (summary, len(self.failures)))
        for f in self.failures:
            print('FAIL', f)
        return 1 if self.failures else 0


def write_workbooks(batch, images, work, check):
    """One workbook per layout and one of the newer picture types, each with one picture
    on a second page: (name, path, layout, picture count, title, pictures) of each."""
    runs = []
    plans = [(layout, CLASSIC, '') for layout in LAYOUTS]
    plans.append((next(l for l in LAYOUTS if l[0] == 'plain-square-4' and l[1]), NEWER_TYPES, '-newer-types'))
    for li, (layout, pictures, suffix) in enumerate(plans):
        key, captions = layout[0], layout[1]
        per_page = layout[3] * layout[4]
        n = per_page + 1  # a second page with one picture
        name = '%02d-%s%s%s' % (li, key, '' if captions else '-nocap', suffix)
        out = os.path.join(work, name + '.xls')
        title = TITLES[li % len(TITLES)]
        args = [batch, '--out', out, '--layout', key, '--title', title, '--subject', PROPS['subject'],
                '--author', PROPS['author'], '--comment', PROPS['comments']]
        if not captions:
            args.append('--no-captions')
        listed = ['path\trotation\tname\tnote']
        for i in range(n):
            p = picture_at(pictures, i)
            path = os.path.abspath(os.path.join(images, IMAGES[p][0]))  # the list file lies elsewhere
            if i < n - 1:
                note = (NOTES[p] or '').replace('\\', '\\\\').replace('\n', '\\n')
                listed.append('\t'.join([path, ROTATIONS[p], DISPLAY_NAMES[p] or '', note]))
                continue
            arg = '%s:%s' % (path, ROTATIONS[p])
            if DISPLAY_NAMES[p] is not None:
                arg += ':' + DISPLAY_NAMES[p]
            args.append(arg)
        list_path = os.path.join(work, name + '.tsv')
        with open(list_path, 'w', encoding='utf-8') as f:
            f.write('\n'.join(listed) + '\n')
        args[1:1] = ['--list', list_path]
        r = subprocess.run(args, capture_output=True, text=True, timeout=300)
        if not check(r.returncode == 0 and os.path.exists(out), '%s: tavolin-batch failed: %s' % (name, r.stderr[-500:])):
            continue
        runs.append((name, out, layout, n, title, pictures))
    return runs


def print_to_pdf(paths, pdf_dir, check, timeout=600):
    """LibreOffice prints every workbook to PDF in one start, with a profile of its own."""
    os.makedirs(pdf_dir, exist_ok=True)
    if not paths:
        return  # without files soffice would wait for them until the timeout
    profile = tempfile.mkdtemp(prefix='tavolin-lo-')
    lo = subprocess.run(['soffice', '-env:UserInstallation=file://' + profile, '--headless', '--norestore',
                         '--convert-to', 'pdf', '--outdir', pdf_dir] + paths,
                        capture_output=True, text=True, timeout=timeout)
    shutil.rmtree(profile, ignore_errors=True)
    check(lo.returncode == 0, 'LibreOffice conversion failed: %s' % lo.stderr[-500:])


def check_headers(where, cells, exp, pages, layout, title, check):
    """Page number and title of every page; returns the header row of each page."""
    pn_col, t_col = layout[11], layout[12]
    header_rows = {}
    for e in exp:
        if e['header']:
            header_rows[e['page']] = e['header_row']
    for page in range(1, pages + 1):
        row = header_rows.get(page)
        if row is None:
            continue
        pn = cells.get('%s%d' % (pn_col, row), {}).get('text')
        check(pn == 'Page.%d' % page, '%s: page number of page %d at %s%d is %r' % (where, page, pn_col, row, pn))
        # xlrd gives the text of text cells only: a title stored as a number reads ''.
        tt = cells.get('%s%d' % (t_col, row), {}).get('text')
        check(tt == title, '%s: title of page %d is %r, expected the text %r' % (where, page, tt, title))
    page_cells = [a for a, c in cells.items() if c['text'].startswith('Page.')]
    check(len(page_cells) == len(header_rows), '%s: %d page numbers, expected %d' % (where, len(page_cells), len(header_rows)))
    return header_rows


def check_captions_and_notes(where, cells, exp, captions, check):
    """Captions with their text and alignment (none with captions off), ruled notes lines."""
    for e in exp:
        cap = cells.get(e['caption'], {})
        if captions:
            check(cap.get('text') == e['name'], '%s: caption %s is %r, expected %r' % (where, e['caption'], cap.get('text'), e['name']))
            check(cap.get('halign') == 'left' and cap.get('valign') == 'center', '%s: caption %s alignment' % (where, e['caption']))
        else:
            check(not cap.get('text'), '%s: caption %s written with captions off' % (where, e['caption']))
        if 'notes' in e:
            col, r0, r1 = e['notes']
            for r in range(r0, r1 + 1):
                a = '%s%d' % (col, r)
                bottom = cells.get(a, {}).get('bottom')
                check(bottom == 'hair', '%s: notes cell %s bottom border %r' % (where, a, bottom))
            below = '%s%d' % (col, r1 + 1)
            check(not cells.get(below, {}).get('bottom'), '%s: ruling runs past %s' % (where, below))
            check_note(where, cells, e, check)
    if not any('notes' in e for e in exp):
        printed = [a for a, c in cells.items() if any(
            c['text'] and c['text'][:4] in (n or '') for n in NOTES)]
        check(not printed, '%s: notes printed without a notes area in %r' % (where, printed))


def note_lines(cells, e):
    """The texts of the notes area's lines a note may use: from the line under the
    caption's (empty with captions off) to the area's last."""
    col, r0, r1 = e['notes']
    return [cells.get('%s%d' % (col, r), {}).get('text', '') for r in range(r0 + 1, r1 + 1)]


def check_note(where, cells, e, check):
    """The note, line by line in its area: all of it, or as much as fits and "…"."""
    lines = note_lines(cells, e)
    at = '%s: note of picture %d' % (where, e['i'])
    if not e['note']:
        check(not any(lines), '%s: lines %r for no note' % (at, lines))
        return
    check(lines[0] != '', '%s: does not start on the line under the caption: %r' % (at, lines))
    wanted = ''.join(e['note'].split())
    got = ''.join(''.join(lines).split())
    if got.endswith('…'):
        check(lines[-1].endswith('…') and wanted.startswith(got[:-1]) and len(got) - 1 < len(wanted),
              '%s: cut wrongly: %r' % (at, lines))
    else:
        check(got == wanted, '%s: %r, expected %r' % (at, lines, e['note']))
    if len(e['note']) > 200:
        check(got.endswith('…'), '%s: a note longer than its area is not cut: %r' % (at, lines))


def check_pictures(where, sheet, stream, exp, n, notes, pictures, check):
    """Picture count, anchors and sizes, and every distinct picture stored once as JPEG."""
    pics = rd.picture_anchors(stream)
    check(len(pics) == n, '%s: %d pictures, expected %d' % (where, len(pics), n))
    colw = {c: col_px(info.width) for c, info in sheet.colinfo_map.items()}
    row_pt = 18.0 if notes else 13.5
    for e, a in zip(exp, pics):
        check(a['from_cell'] == e['anchor'] and a['from_col_off_1024'] == 0 and a['from_row_off_256'] == 0,
              '%s: picture %d anchored at %s+(%s,%s), expected %s' % (where, e['i'], a['from_cell'],
                                                                     a['from_col_off_1024'], a['from_row_off_256'], e['anchor']))
        height = (a['to_row'] - a['from_row']) * row_pt + a['to_row_off_256'] / 256.0 * row_pt
        width_px = sum(colw.get(c, 64) for c in range(a['from_col'], a['to_col'])) + \
            a['to_col_off_1024'] / 1024.0 * colw.get(a['to_col'], 64)
        width = width_px * 0.75
        ew, eh = e['size']
        check(abs(height - eh) <= 0.5, '%s: picture %d height %.2f, expected %.2f' % (where, e['i'], height, eh))
        check(abs(width - ew) <= 0.5, '%s: picture %d width %.2f, expected %.2f' % (where, e['i'], width, ew))
    # A picture placed twice (same file, turn and box) is stored once.
    distinct = len({(IMAGES[picture_at(pictures, i)][0], ROTATIONS[picture_at(pictures, i)]) for i in range(n)})
    blips = rd.stored_blips(stream)
    check(blips == ['JPEG'] * distinct, '%s: stored pictures %r, expected %d JPEG' % (where, blips, distinct))


def check_properties_and_pages(where, path, book, sheet, stream, layout, pages, title, check):
    """Document properties, page order, page breaks, and the print area: every layout
    page, from the pictures' first column at least to the page number."""
    rows_per_page, pn_col = layout[8], layout[11]
    si = rd.summary_properties(path)
    for k, v in dict(PROPS, title=title).items():
        check(si.get(k) == v, '%s: property %s is %r' % (where, k, si.get(k)))
    check(rd.page_order(stream) == 'over_then_down', '%s: page order' % where)
    breaks = [b[0] for b in sheet.horizontal_page_breaks]
    check(breaks == [rows_per_page * p for p in range(1, pages)],
          '%s: page breaks before rows %r, expected %r' % (where, breaks, [rows_per_page * p for p in range(1, pages)]))
    areas = [nm for nm in book.name_obj_list if nm.name == 'Print_Area']
    if check(len(areas) == 1 and areas[0].scope == 0, '%s: Print_Area names %r' % (where, areas)):
        _, _, rlo, rhi, clo, chi = areas[0].result.value[0].coords
        first = min(rd.col_index(c) for c in layout[5])
        check((rlo, rhi) == (0, pages * rows_per_page) and clo <= first and chi > rd.col_index(pn_col),
              '%s: print area rows %d..%d, columns %d..%d' % (where, rlo, rhi, clo, chi))


def check_gnumeric(where, path, work, n, layout, exp, header_rows, title, check):
    """Gnumeric reads the workbook with the same pictures, caption and title."""
    captions, t_col = layout[1], layout[12]
    g = rd.gnumeric(path, work)
    if check(g['ok'] and not g['complaints'], '%s: gnumeric: %r' % (where, g['complaints'])):
        check(g['images'] == n, '%s: gnumeric sees %d pictures' % (where, g['images']))
        if captions:
            got = g['cells'].get(exp[0]['caption'])
            check(got == exp[0]['name'], '%s: gnumeric caption %r' % (where, got))
        if 1 in header_rows:
            got = g['cells'].get('%s%d' % (t_col, header_rows[1]))
            check(got == title, '%s: gnumeric reads the title as %r' % (where, got))


def check_printed_pages(where, pdf, pages, check):
    """LibreOffice prints one page per layout page."""
    if check(os.path.exists(pdf), '%s: LibreOffice wrote no PDF' % where):
        info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True).stdout
        got = int([l.split()[-1] for l in info.splitlines() if l.startswith('Pages:')][0])
        check(got == pages, '%s: LibreOffice prints %d pages, the layout has %d' % (where, got, pages))


def check_printed_notes(where, pdf, cells, exp, check):
    """LibreOffice prints every note line of the first page, inside its notes column: a line
    of the right-hand column ends before the page number's right end (right-aligned in
    that column), a line of the left-hand one before the right-hand pictures."""
    first_page = [e for e in exp if e['page'] == 1 and 'notes' in e and e['note']]
    if not first_page or not os.path.exists(pdf):
        return
    page = pp.pages(pdf)[0]
    number = pp.find_text(page, 'Page.1')
    if not check(number, '%s: LibreOffice prints no page number' % where):
        return
    right_end = max(g['ink'][2] for g in number[0]) + 1.0
    right_pictures = [box[0] for box in page['images'] if box[0] > page['width'] / 2]
    middle = min(right_pictures) if right_pictures else right_end
    for e in first_page:
        for text in [t for t in note_lines(cells, e) if t]:
            found = pp.find_text(page, text)
            if not check(found, '%s: LibreOffice does not print note line %r' % (where, text)):
                continue
            for glyphs in found:
                left = min(g['ink'][0] for g in glyphs)
                right = max(g['ink'][2] for g in glyphs)
                limit = middle if e['col'] == 'B' and left < middle else right_end
                check(right <= limit, '%s: note line %r ends at %.1f pt, beyond its column (%.1f)'
                      % (where, text, right, limit))


def check_workbook(run, work, pdf_dir, check):
    """Everything the readers see of one workbook."""
    name, path, layout, n, title, pictures = run
    per_page = layout[3] * layout[4]
    pages = (n - 1) // per_page + 1
    exp = expected_pictures(layout, n, pictures)
    try:
        book = xlrd.open_workbook(path, formatting_info=True)
    except Exception as e:  # noqa: BLE001 - any refusal is the finding
        check(False, '%s: xlrd cannot open it: %s' % (name, e))
        return
    sheet = book.sheet_by_name('Sheet1')
    cells = rd.xlrd_cells(book, sheet)
    stream = rd.workbook_stream(path)
    header_rows = check_headers(name, cells, exp, pages, layout, title, check)
    check_captions_and_notes(name, cells, exp, layout[1], check)
    check_pictures(name, sheet, stream, exp, n, layout[2], pictures, check)
    check_properties_and_pages(name, path, book, sheet, stream, layout, pages, title, check)
    check_gnumeric(name, path, work, n, layout, exp, header_rows, title, check)
    check_printed_pages(name, os.path.join(pdf_dir, name + '.pdf'), pages, check)
    check_printed_notes(name, os.path.join(pdf_dir, name + '.pdf'), cells, exp, check)


def main(argv):
    batch, images = argv[1], argv[2]
    keep = argv[argv.index('--keep') + 1] if '--keep' in argv else None
    work = keep or tempfile.mkdtemp(prefix='tavolin-roundtrip-')
    os.makedirs(work, exist_ok=True)
    check = Checks()
    runs = write_workbooks(batch, images, work, check)
    pdf_dir = os.path.join(work, 'pdf')
    print_to_pdf([r[1] for r in runs], pdf_dir, check)
    for run in runs:
        check_workbook(run, work, pdf_dir, check)
    if not keep:
        shutil.rmtree(work, ignore_errors=True)
    return check.report('%d workbooks checked' % len(runs))


if __name__ == '__main__':
    sys.exit(main(sys.argv))
