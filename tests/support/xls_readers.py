"""What readers we did not write see in a .xls file.

python3-xlrd reads cells, formats, column widths, row heights, page breaks and defined
names; python3-olefile opens the compound file, over which a short walk of the BIFF
records gives what xlrd leaves out (the drawing layer, the picture store, the page
order, the SummaryInformation stream); Gnumeric's ssconvert gives a second opinion.
The round-trip tests compare these readings with what the program meant to write.
"""
import gzip
import html
import os
import re
import struct
import subprocess

import olefile
import xlrd


def col_index(letters):
    """0-based column of a column name: A is 0, AZ is 51."""
    n = 0
    for ch in letters.upper():
        n = n * 26 + ord(ch) - 64
    return n - 1


def col_name(c):
    """Column name of a 0-based column."""
    name = ''
    c += 1
    while c:
        c, rem = divmod(c - 1, 26)
        name = chr(65 + rem) + name
    return name


def split_address(address):
    """'H29' -> (28, 7), 0-based row and column."""
    m = re.match(r'([A-Z]+)(\d+)$', address)
    return int(m.group(2)) - 1, col_index(m.group(1))


def workbook_stream(path):
    return olefile.OleFileIO(path).openstream('Workbook').read()


def biff_records(stream):
    """(type, data) of every record of a BIFF stream."""
    at = 0
    while at + 4 <= len(stream):
        rtype, length = struct.unpack_from('<HH', stream, at)
        yield rtype, stream[at + 4:at + 4 + length]
        at += 4 + length


def sheet_records(stream, sheet='Sheet1'):
    """Records of one sheet's substream, BOF to EOF, found through its BOUNDSHEET."""
    position = None
    for rtype, data in biff_records(stream):
        if rtype == 0x0085:
            name_len, flags = data[6], data[7]
            name = data[8:8 + name_len * (2 if flags & 1 else 1)].decode('utf-16-le' if flags & 1 else 'latin-1')
            if name == sheet:
                position = struct.unpack_from('<I', data, 0)[0]
        if rtype == 0x000A:
            break
    if position is None:
        return []
    out = []
    for rtype, data in biff_records(stream[position:]):
        out.append((rtype, data))
        if rtype == 0x000A:
            break
    return out


def _joined(records, opcode):
    """The data of every `opcode` record with the CONTINUE records that follow it."""
    joined = b''
    previous = None
    for rtype, data in records:
        if rtype == opcode or (rtype == 0x003C and previous == opcode):
            joined += data
        if rtype != 0x003C:
            previous = rtype
    return joined


def _art_records(data):
    """(type, instance, body) of every drawing record, walking into containers."""
    at = 0
    while at + 8 <= len(data):
        ver_inst, rtype, length = struct.unpack_from('<HHI', data, at)
        if ver_inst & 0x0F == 0x0F:
            at += 8
            continue
        yield rtype, ver_inst >> 4, data[at + 8:at + 8 + length]
        at += 8 + length


def picture_anchors(stream, sheet='Sheet1'):
    """Client anchors of the sheet's pictures, in drawing order: dicts with the anchor
    flags, from/to column and row (0-based) and the offsets (1/1024 of a column, 1/256
    of a row)."""
    anchors = []
    for rtype, _, body in _art_records(_joined(sheet_records(stream, sheet), 0x00EC)):
        if rtype == 0xF010 and len(body) == 18:
            flags, c1, dx1, r1, dy1, c2, dx2, r2, dy2 = struct.unpack_from('<9H', body)
            anchors.append(dict(flags=flags, from_col=c1, from_col_off_1024=dx1, from_row=r1,
                                from_row_off_256=dy1, to_col=c2, to_col_off_1024=dx2, to_row=r2,
                                to_row_off_256=dy2, from_cell='%s%d' % (col_name(c1), r1 + 1)))
    return anchors


BLIP_TYPES = {2: 'EMF', 3: 'WMF', 4: 'PICT', 5: 'JPEG', 6: 'PNG', 7: 'DIB'}


def stored_blips(stream):
    """Type of every picture in the workbook's picture store (BSE records)."""
    group = _joined(list(biff_records(stream)), 0x00EB)
    return [BLIP_TYPES.get(body[0], body[0]) for rtype, _, body in _art_records(group)
            if rtype == 0xF007 and body]


def page_order(stream, sheet='Sheet1'):
    """'over_then_down' or 'down_then_over' from the sheet's SETUP record."""
    for rtype, data in sheet_records(stream, sheet):
        if rtype == 0x00A1:
            return 'over_then_down' if data[10] & 1 else 'down_then_over'
    return None


def summary_properties(path):
    """title, subject, author, comments and the code page of the SummaryInformation
    stream, read here because olefile cuts code-page-1200 strings at their first zero
    byte."""
    data = olefile.OleFileIO(path).openstream('\x05SummaryInformation').read()
    offset = struct.unpack_from('<I', data, 44)[0]
    count = struct.unpack_from('<I', data, offset + 4)[0]
    entries = [struct.unpack_from('<II', data, offset + 8 + 8 * k) for k in range(count)]
    props = {}
    for pid, at in entries:
        if struct.unpack_from('<H', data, offset + at)[0] == 0x0002 and pid == 1:
            props['code_page'] = struct.unpack_from('<h', data, offset + at + 4)[0] & 0xFFFF
    names = {2: 'title', 3: 'subject', 4: 'author', 6: 'comments'}
    for pid, at in entries:
        if struct.unpack_from('<H', data, offset + at)[0] == 0x001E and pid in names:
            size = struct.unpack_from('<I', data, offset + at + 4)[0]
            raw = data[offset + at + 8:offset + at + 8 + size]
            text = raw.decode('utf-16-le' if props.get('code_page') == 1200 else 'cp932')
            props[names[pid]] = text.rstrip('\x00')
    return props


HALIGN = {0: 'general', 1: 'left', 2: 'center', 3: 'right'}
VALIGN = {0: 'top', 1: 'center', 2: 'bottom'}
LINES = {0: None, 1: 'thin', 2: 'medium', 7: 'hair'}


def xlrd_cells(book, sheet):
    """Address -> dict(text, halign, valign, bottom) of every cell with a value or a
    bottom border (ruled notes lines are blank cells with one)."""
    cells = {}
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            xf = book.xf_list[cell.xf_index] if cell.xf_index is not None else None
            bottom = LINES.get(xf.border.bottom_line_style, xf.border.bottom_line_style) if xf else None
            if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) and not bottom:
                continue
            cells['%s%d' % (col_name(c), r + 1)] = dict(
                text=cell.value if cell.ctype == xlrd.XL_CELL_TEXT else '',
                halign=HALIGN.get(xf.alignment.hor_align) if xf else None,
                valign=VALIGN.get(xf.alignment.vert_align) if xf else None,
                bottom=bottom)
    return cells


def gnumeric(path, workdir, timeout=300):
    """What Gnumeric reads: dict(ok, complaints, images, cells (address -> text), title)."""
    out = os.path.join(workdir, os.path.splitext(os.path.basename(path))[0] + '.gnumeric')
    run = subprocess.run(['ssconvert', '-T', 'Gnumeric_XmlIO:sax:0', path, out],
                         capture_output=True, text=True, timeout=timeout)
    # Gnumeric has no metrics for the Windows fonts: that warning is expected.
    complaints = [l for l in run.stderr.splitlines() if l.strip() and 'unknown widths for font' not in l]
    result = dict(ok=run.returncode == 0 and os.path.exists(out), complaints=complaints,
                  images=0, cells={}, title=None)
    if not result['ok']:
        return result
    with open(out, 'rb') as f:
        data = f.read()
    if data[:2] == b'\x1f\x8b':
        data = gzip.decompress(data)
    text = data.decode('utf-8')
    result['images'] = len(re.findall(r'<gnm:SheetObjectImage', text))
    for row, col, value in re.findall(r'<gnm:Cell Row="(\d+)" Col="(\d+)"[^>]*>([^<]*)</gnm:Cell>', text):
        result['cells']['%s%d' % (col_name(int(col)), int(row) + 1)] = html.unescape(value)
    title = re.search(r'<dc:title>(.*?)</dc:title>', text)
    result['title'] = title.group(1) if title else None
    return result
