#!/usr/bin/python3
"""Round trip of engine-written workbooks through readers we did not write.

    roundtrip.py MAKE_SAMPLE OWN_TEMPLATE DATA_DIR CASE WORKDIR

Writes a sample workbook with the engine (xls-make-sample), then asks python3-xlrd,
python3-olefile, LibreOffice headless (conversion to xlsx) and Gnumeric's ssconvert
what they see, and compares that with what the sample run placed: cell texts and
formats, column widths, row heights, page order and manual breaks, document
properties, picture count, anchor cells, heights (points) and widths (through the raw
anchors and the 8-pixel digit), JPEG media. Exits non-zero on the first mismatch.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import xml.etree.ElementTree as ET

import xlrd

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import xls_readers as rd  # noqa: E402

CASES = {
    # name: (pictures, notes, big pictures, template file name or None for ExcelBook.org)
    "basic": (1, False, False, None),
    "forty": (40, False, False, None),
    "notes": (5, True, False, None),
    "lo_template": (3, False, False, "lo_from_xlsx_1jpeg.xls"),
    "lo_absolute_template": (2, True, False, "lo_from_fods_2pics_absolute.xls"),
    "gnumeric_template": (3, False, False, "gnumeric_from_xlsx_4pics.xls"),
    "lo_resaved_template": (4, True, False, "lo_resaved_ExcelBook.xls"),
    "difat": (200, False, True, None),
}

TITLE = "現場写真帳 タイトル"
SUBJECT = "表題：工事記録"
AUTHOR = "山田 太郎"
COMMENTS = "コメント ｶﾀｶﾅ and ASCII"
RATIOS = [(4, 3), (3, 4), (2, 1), (1, 1), (16, 9)]


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def expected_layout(n, notes):
    """Cells, anchors and fitted sizes of the sample run (tests/xls/sample_run.cpp)."""
    box = (370.0, 297.0) if notes else (370.0, 278.0)
    page_rows = 44 if notes else 59
    cells, pictures = {}, []
    for i in range(n):
        page = i // 2
        top = (3 + (i % 2) * 23 + page * 44) if notes else (6 + (i % 2) * 29 + page * 59)
        anchor = ("B%d" if notes else "H%d") % top
        if i % 2 == 0:
            cells[("D%d" if notes else "AH%d") % (top - (1 if notes else 5))] = "Page.%d" % (page + 1)
            cells[("B%d" if notes else "H%d") % (top - (1 if notes else 5))] = TITLE
        cells[("D%d" % top) if notes else ("H%d" % (top + 23))] = "写真 %d ｷｬﾌﾟｼｮﾝ" % (i + 1)
        rw, rh = RATIOS[i % 5]
        w, h = (rw / rh * 300.0, 300.0)  # any natural size with this aspect
        if h > w:
            w, h = w * box[1] / h, box[1]
        else:
            w, h = box[0], h * box[0] / w
            if h > box[1]:
                w, h = w * box[1] / h, box[1]
        pictures.append((anchor, w, h))
    rows = int((n / 2 + 1) * page_rows)
    breaks = list(range(page_rows, rows, page_rows))
    return cells, pictures, rows, breaks


# ------------------------------------------------------------------ own BIFF walk

def sheet1_page_setup(path):
    """Margins, header/footer, centring and SETUP of Sheet1 (SETUP's page-order bit
    masked), as stored."""
    setup = {}
    for rtype, data in rd.sheet_records(rd.workbook_stream(path)):
        if rtype in (0x0014, 0x0015, 0x0083, 0x0084, 0x0026, 0x0027, 0x0028, 0x0029):
            setup[rtype] = data
        elif rtype == 0x00A1:
            setup[rtype] = data[:10] + bytes([data[10] & 0xFE]) + data[11:]
    return setup


def excel_column_points(coldx, mdw):
    return round(coldx * mdw / 256.0) * 72.0 / 96.0


# ------------------------------------------------------------------ readers

def digit_width(book):
    """Excel's digit width (pixels) of the Normal font: 8 for the 11-pt template font, 7 for
    the 10-pt fonts LibreOffice and Gnumeric put into their files."""
    points = book.font_list[0].height / 20.0
    return {10.0: 7, 11.0: 8}[points]


def coldx_for(chars, mdw):
    px = int(chars * mdw + 5) if chars >= 1 else round(chars * (mdw + 5))
    return int(px * 256 // mdw)


def read_xlrd(path, n, notes, own_template):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_name("Sheet1")
    mdw = digit_width(book)
    cells, pictures, rows, breaks = expected_layout(n, notes)
    for address, text in cells.items():
        m = re.match(r"([A-Z]+)(\d+)", address)
        col = 0
        for ch in m.group(1):
            col = col * 26 + ord(ch) - 64
        r, c = int(m.group(2)) - 1, col - 1
        check(sheet.cell_value(r, c) == text, "xlrd: %s is %r, expected %r" % (address, sheet.cell_value(r, c), text))
        xf = book.xf_list[sheet.cell_xf_index(r, c)]
        if text.startswith("写真"):
            check((xf.alignment.hor_align, xf.alignment.vert_align) == (1, 2), "xlrd: caption %s not left/bottom" % address)
            if notes:
                check(xf.border.bottom_line_style == 7 and xf.border.bottom_colour_index == 64,
                      "xlrd: caption %s lacks its hair bottom line" % address)
        elif text.startswith("Page."):
            check(xf.alignment.hor_align == 3, "xlrd: page number %s not right-aligned" % address)
    if notes:
        widths = {0: 2, 1: 63, 2: 2, 3: 22, 6: 63, 8: 22, 9: 2}
        height = 360
        for i in range(n):
            top = 3 + (i % 2) * 23 + (i // 2) * 44
            for r in range(top - 1, top + 15):
                xf = book.xf_list[sheet.cell_xf_index(r, 3)]
                check(xf.border.bottom_line_style == 7, "xlrd: D%d has no hair line" % (r + 1))
    else:
        widths = {c: 1.63 for c in range(52)}
        height = 270
    for c, chars in widths.items():
        coldx = coldx_for(chars, mdw)
        info = sheet.colinfo_map.get(c)
        check(info is not None and info.width == coldx, "xlrd: column %s width %s, expected %d" % (rd.col_name(c), info and info.width, coldx))
    for r in (0, rows - 1):
        info = sheet.rowinfo_map.get(r)
        check(info is not None and info.height == height and not info.has_default_height,
              "xlrd: row %d height %s" % (r + 1, info and info.height))
    got_breaks = [b[0] for b in sheet.horizontal_page_breaks]
    check(got_breaks == breaks[:1026], "xlrd: page breaks %s, expected %s" % (got_breaks[:5], breaks[:5]))
    return pictures, mdw, {c: i.width for c, i in sheet.colinfo_map.items()}


def read_olefile(path, big):
    props = rd.summary_properties(path)
    check(props.get("code_page") == 1200, "olefile: code page %r" % props.get("code_page"))
    for key, text in (("title", TITLE), ("subject", SUBJECT), ("author", AUTHOR), ("comments", COMMENTS)):
        check(props.get(key) == text, "olefile: property %s is %r" % (key, props.get(key)))
    with open(path, "rb") as f:
        header = f.read(512)
    difat_sectors = struct.unpack_from("<I", header, 0x48)[0]
    if big:
        check(os.path.getsize(path) > 7 * 1024 * 1024, "difat case is not big enough")
        check(difat_sectors > 0, "olefile: a big file without DIFAT sectors")
    gsf = subprocess.run(["gsf", "list", path], capture_output=True, text=True)
    check(gsf.returncode == 0 and "Workbook" in gsf.stdout, "gsf list failed: %s" % gsf.stderr)


def read_libreoffice(path, n, notes, own_template, workdir, pictures):
    profile = tempfile.mkdtemp(prefix="lo-profile-", dir=workdir)
    out = os.path.join(workdir, "lo")
    os.makedirs(out, exist_ok=True)
    run = subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless",
                          "--convert-to", "xlsx", "--outdir", out, path],
                         capture_output=True, text=True, timeout=600)
    xlsx = os.path.join(out, os.path.splitext(os.path.basename(path))[0] + ".xlsx")
    check(run.returncode == 0 and os.path.exists(xlsx), "LibreOffice: conversion failed: %s" % run.stderr)
    z = zipfile.ZipFile(xlsx)
    ns = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
          "xdr": "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing",
          "dc": "http://purl.org/dc/elements/1.1/"}
    wb = ET.fromstring(z.read("xl/workbook.xml"))
    names = [s.get("name") for s in wb.find("m:sheets", ns)]
    check("Sheet1" in names, "LibreOffice: sheets %s" % names)
    sheet = ET.fromstring(z.read("xl/worksheets/sheet1.xml"))
    setup = sheet.find("m:pageSetup", ns)
    check(setup is not None and setup.get("pageOrder") == "overThenDown", "LibreOffice: page order not over-then-down")
    _, _, rows, breaks = expected_layout(n, notes)
    brk = sheet.find("m:rowBreaks", ns)
    got = [int(b.get("id")) for b in brk] if brk is not None else []
    check(got == breaks[:1026], "LibreOffice: row breaks %s, expected %s" % (got[:5], breaks[:5]))
    height = 18.0 if notes else 13.5
    row_heights = {}
    for row in sheet.iter("{%s}row" % ns["m"]):
        row_heights[int(row.get("r"))] = float(row.get("ht", "0"))
    check(abs(row_heights.get(rows, 0) - height) < 0.01, "LibreOffice: row %d height %s" % (rows, row_heights.get(rows)))
    core = ET.fromstring(z.read("docProps/core.xml"))
    check(core.findtext("dc:title", namespaces=ns) == TITLE, "LibreOffice: title %r" % core.findtext("dc:title", namespaces=ns))
    check(core.findtext("dc:creator", namespaces=ns) == AUTHOR, "LibreOffice: author")
    drawings = [f for f in z.namelist() if re.match(r"xl/drawings/drawing\d+\.xml$", f)]
    anchors = []
    for d in drawings:
        root = ET.fromstring(z.read(d))
        for a in root:
            frm = a.find("xdr:from", ns)
            to = a.find("xdr:to", ns)
            if frm is None:
                continue
            anchors.append((int(frm.findtext("xdr:col", namespaces=ns)), int(frm.findtext("xdr:row", namespaces=ns)),
                            int(frm.findtext("xdr:rowOff", namespaces=ns)),
                            int(to.findtext("xdr:row", namespaces=ns)), int(to.findtext("xdr:rowOff", namespaces=ns))))
    media = [f for f in z.namelist() if f.startswith("xl/media/")]
    return anchors, media


def main():
    make_sample, own_template, data_dir, case, workdir = sys.argv[1:6]
    n, notes, big, template_name = CASES[case]
    template = os.path.join(data_dir, template_name) if template_name else own_template
    os.makedirs(workdir, exist_ok=True)
    work = tempfile.mkdtemp(prefix="xls-roundtrip-%s-" % case, dir=workdir)
    try:
        path = os.path.join(work, "sample.xls")
        args = [make_sample, template, path, str(n)] + (["notes"] if notes else []) + (["big"] if big else [])
        run = subprocess.run(args, capture_output=True, text=True)
        check(run.returncode == 0, "xls-make-sample failed: %s" % run.stderr)
        own = template_name is None
        pictures, mdw, coldx = read_xlrd(path, n, notes, own)
        check(sheet1_page_setup(path) == sheet1_page_setup(template),
              "the template's page set-up was not kept")
        read_olefile(path, big)
        anchors = [(a["flags"], a["from_col"], a["from_col_off_1024"], a["from_row"], a["from_row_off_256"],
                    a["to_col"], a["to_col_off_1024"], a["to_row"], a["to_row_off_256"])
                   for a in rd.picture_anchors(rd.workbook_stream(path))]
        # The template's own pictures come first; the sample's follow.
        placed = anchors[len(anchors) - n:]
        check(len(placed) == n, "biff: %d anchors for %d pictures" % (len(anchors), n))
        for (anchor, w, h), a in zip(pictures, placed):
            flags, colL, dxL, rwT, dyT, colR, dxR, rwB, dyB = a
            check("%s%d" % (rd.col_name(colL), rwT + 1) == anchor, "biff: anchor %s%d, expected %s" % (rd.col_name(colL), rwT + 1, anchor))
            # Width through the raw anchor in the desktop program's geometry.
            points = [excel_column_points(coldx[c], mdw) for c in range(colL, colR + 1)]
            width = sum(points[:-1]) - points[0] * dxL / 1024.0 + points[-1] * dxR / 1024.0
            check(abs(width - w) <= points[-1] / 1024.0 + 0.01,
                  "biff: picture at %s is %.2f pt wide, expected %.2f" % (anchor, width, w))
        anchors_lo, media = read_libreoffice(path, n, notes, own, work, pictures)
        check(len(anchors_lo) == len(anchors), "LibreOffice: %d pictures, expected %d" % (len(anchors_lo), len(anchors)))
        row_pt = 18.0 if notes else 13.5
        for (anchor, w, h), a in zip(pictures, anchors_lo[len(anchors_lo) - n:]):
            col, row, row_off, to_row, to_off = a
            check("%s%d" % (rd.col_name(col), row + 1) == anchor, "LibreOffice: picture at %s%d, expected %s" % (rd.col_name(col), row + 1, anchor))
            height = (to_row - row) * row_pt + (to_off - row_off) / 12700.0
            check(abs(height - h) <= 0.5, "LibreOffice: picture at %s is %.2f pt high, expected %.2f" % (anchor, height, h))
        if own:
            check(len(media) == n and all(m.endswith((".jpeg", ".jpg")) for m in media),
                  "LibreOffice: media %s" % media[:5])
        g = rd.gnumeric(path, work, timeout=600)
        check(g["ok"] and not g["complaints"], "ssconvert complained: %s" % g["complaints"])
        check(g["title"] == TITLE, "ssconvert: title %r" % g["title"])
        check(g["images"] == len(anchors), "ssconvert: %d pictures, expected %d" % (g["images"], len(anchors)))
        print("%s: %d pictures; xlrd, olefile, gsf, LibreOffice and ssconvert agree" % (case, n))
        return 0
    except Failure as e:
        print("%s: FAILED: %s" % (case, e))
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
