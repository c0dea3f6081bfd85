#!/usr/bin/env python3
"""Writes the seeds of fuzz_csv and fuzz_xlsx into fuzz/corpus/{csv,xlsx}/: a few ordinary files and a
small reproducer of each way a file once hurt the import (the numbers are the issue's findings). The
fuzz targets read with small limits, so a reproducer of a few kilobytes reaches them. Run it again after
changing it; the files are committed."""
import io
import os
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
RELS = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'


def rel(rid, kind, target):
    return f'<Relationship Id="{rid}" Type="{RELS}/{kind}" Target="{target}"/>'


def workbook(sheet_data, strings=None, rels=None, styles=None, sheet_head=''):
    rels = rels or (rel('rId1', 'worksheet', 'worksheets/sheet1.xml') +
                    rel('rId2', 'sharedStrings', 'sharedStrings.xml') + rel('rId3', 'styles', 'styles.xml'))
    parts = {
        '[Content_Types].xml': '<?xml version="1.0"?><Types/>',
        '_rels/.rels': f'<Relationships xmlns="{PKG}">{rel("rId1", "officeDocument", "xl/workbook.xml")}'
                       '</Relationships>',
        'xl/workbook.xml': f'<workbook xmlns="{MAIN}" xmlns:r="{RELS}"><workbookPr date1904="0"/><sheets>'
                           '<sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>',
        'xl/_rels/workbook.xml.rels': f'<Relationships xmlns="{PKG}">{rels}</Relationships>',
        'xl/worksheets/sheet1.xml': f'{sheet_head}<worksheet xmlns="{MAIN}"><sheetData>{sheet_data}'
                                    '</sheetData></worksheet>',
    }
    if strings is not None:
        parts['xl/sharedStrings.xml'] = f'<sst xmlns="{MAIN}">{strings}</sst>'
    if styles is not None:
        parts['xl/styles.xml'] = f'<styleSheet xmlns="{MAIN}">{styles}</styleSheet>'
    return parts


def text_form(parts):
    return ''.join(f'=== {name}\n{content}\n' for name, content in parts.items()).encode()


def zipped(parts):
    out = io.BytesIO()
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, content in parts.items():
            z.writestr(name, content)
    return out.getvalue()


def write(kind, name, data):
    assert len(data) <= 4096, (name, len(data))
    with open(os.path.join(here, 'corpus', kind, name), 'wb') as f:
        f.write(data)


ordinary = workbook(
    '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>'
    '<row r="3"><c r="A3" t="inlineStr"><is><r><t>李</t></r><r><t xml:space="preserve">四 </t></r>'
    '<rPh><t>り</t></rPh></is></c><c r="B3" s="1"><v>123</v></c><c r="C3" s="2"><v>45678</v></c>'
    '<c r="D3" t="b"><v>1</v></c><c r="E3" t="str"><f>A1</f><v>_x000D_x</v></c></row>'
    '<row><c><v>1.5E+20</v></c><c t="e"><v>#N/A</v></c></row>',
    strings='<si><t>姓名</t></si><si><r><t>工</t></r><r><t>号</t></r></si>',
    styles='<numFmts><numFmt numFmtId="164" formatCode="00000"/><numFmt numFmtId="165" '
           'formatCode="yyyy/m/d"/></numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/>'
           '<xf numFmtId="165"/></cellXfs>')
write('xlsx', 'ordinary.txt', text_form(ordinary))
write('xlsx', 'ordinary.xlsx', zipped(ordinary))
# 1: blanks between the rows (the part inflates a thousand times), and empty cells without end.
write('xlsx', 'finding1-blanks.xlsx', zipped(workbook('<row><c><v>1</v></c></row>' + ' ' * (2 << 20))))
write('xlsx', 'finding1-cells.xlsx', zipped(workbook('<row>' + '<c/>' * 12_000 + '</row>')))
# 2: one cell longer than a cell may be.
write('xlsx', 'finding2-cell.xlsx',
      zipped(workbook('<row><c t="inlineStr"><is><t>' + 'x' * 40_000 + '</t></is></c></row>')))
# 3: one long shared string in many cells.
write('xlsx', 'finding3-shared.xlsx',
      zipped(workbook('<row>' + '<c t="s"><v>0</v></c>' * 256 + '</row>', strings='<si><t>' + 'x' * 20_000 + '</t></si>')))
# 4 and 8: an entity referenced many times, and entities that refer to each other.
write('xlsx', 'finding4-entity.txt',
      text_form(workbook('<row><c t="inlineStr"><is><t>' + '&e;' * 200 + '</t></is></c></row>',
                         sheet_head='<!DOCTYPE w [<!ENTITY e "' + 'x' * 1000 + '">]>')))
write('xlsx', 'finding8-recursive.txt',
      text_form(workbook('<row><c t="inlineStr"><is><t>&a;</t></is></c></row>',
                         sheet_head='<!DOCTYPE w [<!ENTITY a "&b;"><!ENTITY b "&a;">]>')))
# 5: relationships that name one part again and again.
write('xlsx', 'finding5-relations.txt',
      text_form(workbook('<row><c t="s"><v>0</v></c></row>', strings='<si><t>x</t></si>',
                         rels=rel('rId1', 'worksheet', 'worksheets/sheet1.xml') +
                         ''.join(rel(f's{i}', 'sharedStrings', 'sharedStrings.xml') for i in range(20)))))
# 6: more cells than a table takes.
write('xlsx', 'finding6-cells.xlsx', zipped(workbook(('<row>' + '<c><v>1</v></c>' * 256 + '</row>') * 10)))

# The CSV target: the first byte chooses CSV (even) or text (odd).
write('csv', 'ordinary.csv', b'\x00' + '姓名,工号,部门\r\n"Li, Si",00123,"研发""部"\r\n\r\n=1+1,@x,-3\n"王\n五",1'.encode())
write('csv', 'semicolons.csv', b'\x00a;b,c;d\r\ne;f\r')
write('csv', 'text.txt', b'\x01' + '张三\n李四\t001\r\n"a",b'.encode('gbk'))
write('csv', 'utf16.csv', b'\x00\xff\xfe' + 'a,b\r\n张,三\r\n'.encode('utf-16-le'))
# 6: a line of commas, a line without a delimiter, more cells than a table takes.
write('csv', 'finding6-commas.csv', b'\x00a,' + b',' * 4000 + b'b')
write('csv', 'finding6-line.csv', b'\x00' + b'x' * 1500)
write('csv', 'finding6-cells.csv', b'\x00' + (b'1,' * 15 + b'1\n') * 70)
