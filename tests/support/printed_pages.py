"""What a printed PDF shows, page by page: the pictures' boxes, the text lines, and the
ink of every glyph with the clip it was drawn under.

Pictures and text lines come from poppler's pdftohtml -xml, which lists every picture
a page draws, even one that the page clips to a strip of a fraction of a point (a
sliver of the next page's picture). Glyphs come from poppler's cairo SVG output
(pdftocairo -svg): a glyph's ink box is the bounding box of its outline's points, so it
is what prints, not the font's line box, and its clip is the cell or page edge the
reader cut it at. Units are PDF points, y downwards from the top of the page.
"""
import os
import re
import subprocess
import tempfile
import xml.etree.ElementTree as ET

SVG = '{http://www.w3.org/2000/svg}'
XLINK = '{http://www.w3.org/1999/xlink}href'
NUMBER = re.compile(r'-?\d+(?:\.\d+)?(?:[eE][-+]?\d+)?')
IDENTITY = (1.0, 0.0, 0.0, 1.0, 0.0, 0.0)


def overlap(a, b, slack=0.0):
    """True when boxes a and b (x0, y0, x1, y1) share more than `slack` both ways."""
    return min(a[2], b[2]) - max(a[0], b[0]) > slack and min(a[3], b[3]) - max(a[1], b[1]) > slack


def inside(inner, outer, slack=0.0):
    return (inner[0] >= outer[0] - slack and inner[1] >= outer[1] - slack and
            inner[2] <= outer[2] + slack and inner[3] <= outer[3] + slack)


def intersect(a, b):
    if a is None or b is None:
        return a if b is None else b
    return (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))


def _bbox(numbers):
    xs, ys = numbers[0::2], numbers[1::2]
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def _matrix(text):
    if not text:
        return IDENTITY
    values = [float(v) for v in NUMBER.findall(text)]
    if text.startswith('matrix'):
        return tuple(values)
    if text.startswith('translate'):
        return (1.0, 0.0, 0.0, 1.0, values[0], values[1] if len(values) > 1 else 0.0)
    raise ValueError('unexpected SVG transform %r' % text)


def _compose(a, b):
    """The transform that applies b, then a."""
    return (a[0] * b[0] + a[2] * b[1], a[1] * b[0] + a[3] * b[1],
            a[0] * b[2] + a[2] * b[3], a[1] * b[2] + a[3] * b[3],
            a[0] * b[4] + a[2] * b[5] + a[4], a[1] * b[4] + a[3] * b[5] + a[5])


def _apply(m, box):
    xs, ys = [], []
    for x in (box[0], box[2]):
        for y in (box[1], box[3]):
            xs.append(m[0] * x + m[2] * y + m[4])
            ys.append(m[1] * x + m[3] * y + m[5])
    return (min(xs), min(ys), max(xs), max(ys))


def _path_box(element):
    numbers = []
    for path in element.iter(SVG + 'path'):
        numbers += [float(v) for v in NUMBER.findall(path.get('d', ''))]
    return _bbox(numbers)


def glyphs(pdf):
    """Per page: [dict(ink, clip, origin)] for every glyph drawn (clip None: the page)."""
    svg = subprocess.run(['pdftocairo', '-svg', pdf, '-'], capture_output=True, check=True).stdout
    root = ET.fromstring(svg)
    outlines = {s.get('id'): _path_box(s) for s in root.iter(SVG + 'symbol')}
    clips = {}
    for clip in root.iter(SVG + 'clipPath'):
        box = _path_box(clip)
        path = next(clip.iter(SVG + 'path'), None)
        clips[clip.get('id')] = _apply(_matrix(path.get('transform')), box) if box else None
    surfaces = list(root.iter(SVG + 'page')) or [root]
    pages = []
    for surface in surfaces:
        found = []

        def walk(node, m, clip):
            for child in node:
                cm = _compose(m, _matrix(child.get('transform')))
                ref = child.get('clip-path')
                cclip = intersect(clip, _apply(m, clips[ref[5:-1]])) if ref else clip
                tag = child.tag[len(SVG):]
                if tag in ('g', 'page'):
                    walk(child, cm, cclip)
                elif tag == 'use':
                    outline = outlines.get(child.get(XLINK, '#')[1:])
                    if outline:
                        at = _compose(cm, (1, 0, 0, 1, float(child.get('x', 0)), float(child.get('y', 0))))
                        found.append(dict(ink=_apply(at, outline), clip=cclip, origin=(at[4], at[5])))

        walk(surface, IDENTITY, None)
        pages.append(found)
    return pages


def find_text(page, text):
    """Every place where `text` prints on `page`: the glyphs of a run of text pieces on
    one line whose characters, spaces aside, are those of `text` (readers cut a line
    into pieces at spaces and font changes)."""
    wanted = ''.join(text.split())
    rows = {}
    for line in page['lines']:
        rows.setdefault(round(line['box'][1]), []).append(line)
    found = []
    for row in rows.values():
        row.sort(key=lambda line: line['box'][0])
        for start in range(len(row)):
            joined, glyphs = '', []
            for line in row[start:]:
                joined += ''.join(line['text'].split())
                glyphs += line['glyphs']
                if len(joined) >= len(wanted):
                    break
            if joined == wanted and ''.join(row[start]['text'].split()):
                found.append(glyphs)
    return found


def pages(pdf):
    """Per page: dict(width, height, images=[box], lines=[dict(text, box, glyphs)],
    glyphs=[every glyph of the page])."""
    with tempfile.TemporaryDirectory(prefix='tavolin-pdf-') as work:
        subprocess.run(['pdftohtml', '-xml', '-q', '-zoom', '3', pdf, os.path.join(work, 'p')],
                       check=True, capture_output=True)
        root = ET.parse(os.path.join(work, 'p.xml')).getroot()
    inks = glyphs(pdf)
    out = []
    for n, page in enumerate(root.iter('page')):
        info = dict(width=None, height=None, images=[], lines=[])
        zoom = 3.0
        info['width'] = float(page.get('width')) / zoom
        info['height'] = float(page.get('height')) / zoom

        def box(e):
            x, y, w, h = (float(e.get(k)) / zoom for k in ('left', 'top', 'width', 'height'))
            return (x, y, x + w, y + h)

        info['images'] = [box(i) for i in page.iter('image')]
        info['glyphs'] = inks[n] if n < len(inks) else []
        for t in page.iter('text'):
            b = box(t)
            mine = [g for g in info['glyphs']
                    if b[0] - 0.5 <= g['origin'][0] < b[2] and b[1] <= g['origin'][1] <= b[3]]
            info['lines'].append(dict(text=''.join(t.itertext()), box=b, glyphs=mine))
        out.append(info)
    return out


def page_count(pdf):
    info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True, check=True).stdout
    return int(re.search(r'^Pages:\s+(\d+)', info, re.M).group(1))
