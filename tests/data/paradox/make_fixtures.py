#!/usr/bin/env python3
"""Writes the Paradox fixtures of the import tests from the published description of the format.

The writer is independent of the program's reader: it follows the documented layout of a Paradox
7 data file (header, field descriptors, chained data blocks) and of its memo file (.MB, 4 KB
blocks). Run it from any folder; it rewrites base/ and damaged/ beside itself. The folder pxlib/
comes from a second writer, pxlib_memos.c, built on the Paradox library packaged in Debian.
"""
import datetime
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
HEADER_SIZE = 0x800
MB_BLOCK = 4096

# Field type codes of the format.
ALPHA, DATE, SHORT, LONG, NUMBER, LOGICAL, MEMO, BLOB = 0x01, 0x02, 0x03, 0x04, 0x06, 0x09, 0x0C, 0x0D
TIMESTAMP, AUTOINC = 0x15, 0x16


def number(value):
    if value is None:
        return bytes(8)
    raw = bytearray(struct.pack('>d', value))
    if value >= 0:
        raw[0] |= 0x80
    else:
        raw = bytearray(b ^ 0xFF for b in raw)
    return bytes(raw)


def whole(value, size):
    if value is None:
        return bytes(size)
    bits = size * 8
    return ((value + (1 << (bits - 1))) & ((1 << bits) - 1)).to_bytes(size, 'big')


def date(value):
    return bytes(4) if value is None else whole(value.toordinal(), 4)


class Memo:
    """The memo file being written: a header block, then one block per memo too long for the row."""

    def __init__(self):
        self.blocks = [bytearray(MB_BLOCK)]
        self.blocks[0][0] = 0  # header block

    def add(self, data, modification):
        # A memo of its own: block type 2, the number of 4 KB chunks, the length, the change number.
        chunks = (9 + len(data) + MB_BLOCK - 1) // MB_BLOCK
        offset = len(self.blocks) * MB_BLOCK
        block = bytearray(chunks * MB_BLOCK)
        block[0] = 2
        struct.pack_into('<HIH', block, 1, chunks, len(data), modification)
        block[9:9 + len(data)] = data
        for i in range(chunks):
            self.blocks.append(block[i * MB_BLOCK:(i + 1) * MB_BLOCK])
        return offset | 0xFF

    def bytes(self):
        struct.pack_into('<H', self.blocks[0], 1, len(self.blocks))
        return b''.join(bytes(b) for b in self.blocks)


def encode_field(kind, size, value, codepage, memo):
    if kind == ALPHA:
        raw = b'' if value is None else value.encode(codepage)
        assert len(raw) <= size, value
        return raw.ljust(size, b'\0')
    if kind == NUMBER:
        return number(value)
    if kind == DATE:
        return date(value)
    if kind in (SHORT, LONG, AUTOINC):
        return whole(value, size)
    if kind == LOGICAL:
        return bytes(1) if value is None else bytes([0x80 | int(value)])
    if kind == TIMESTAMP:
        # Milliseconds since the start of the day before 1 January of year 1.
        if value is None:
            return bytes(8)
        day = value.date().toordinal()
        seconds = value.hour * 3600 + value.minute * 60 + value.second
        return number(float(day * 86400000 + seconds * 1000))
    if kind == BLOB:
        assert value is None
        return bytes(size)
    if kind == MEMO:
        leader = size - 10
        if value is None:
            return bytes(size)
        raw = value.encode(codepage)
        head = raw[:leader].ljust(leader, b'\0')
        pointer = 0
        if len(raw) > leader:
            # The memo file holds the whole text; the row keeps a copy of its beginning.
            pointer = memo.add(raw, 1)
        return head + struct.pack('<IIH', pointer, len(raw), 1)
    raise ValueError(kind)


def write_table(path, fields, rows, codepage='cp1252', key_fields=0, block_kb=1,
                rows_per_block=None, file_order=None):
    """fields: (name, type, size); rows in the order of the primary index (the block chain).

    file_order lists the chain's blocks in the order they stand in the file, e.g. [0, 2, 1] puts
    the chain's third block second in the file.
    """
    record_size = sum(size for _, _, size in fields)
    block_size = block_kb * 1024
    per_block = rows_per_block or (block_size - 6) // record_size
    chain = [rows[i:i + per_block] for i in range(0, len(rows), per_block)] or []
    file_order = file_order or list(range(len(chain)))
    assert sorted(file_order) == list(range(len(chain)))
    memo = Memo()
    has_memo = any(kind == MEMO for _, kind, _ in fields)
    # Block number in the file (1-based) of each block of the chain.
    number_of = {chain_index: position + 1 for position, chain_index in enumerate(file_order)}
    blocks = {}
    for index, block_rows in enumerate(chain):
        nxt = number_of[index + 1] if index + 1 < len(chain) else 0
        prev = number_of[index - 1] if index > 0 else 0
        data = bytearray(struct.pack('<HHh', nxt, prev, (len(block_rows) - 1) * record_size))
        for row in block_rows:
            for (name, kind, size), value in zip(fields, row):
                data += encode_field(kind, size, value, codepage, memo)
        blocks[number_of[index]] = bytes(data.ljust(block_size, b'\0'))

    header = bytearray(HEADER_SIZE)
    struct.pack_into('<HHBBIHHHH', header, 0, record_size, HEADER_SIZE, 0 if key_fields else 2,
                     block_kb, len(rows), len(chain), len(chain),
                     number_of[0] if chain else 0, number_of[len(chain) - 1] if chain else 0)
    struct.pack_into('<HH', header, 0x21, len(fields), key_fields)
    header[0x39] = 0x0C  # Paradox 7
    struct.pack_into('<H', header, 0x3A, len(chain))
    struct.pack_into('<H', header, 0x6A, int(codepage[2:]))
    position = 0x78
    for _, kind, size in fields:
        header[position:position + 2] = bytes([kind, size])
        position += 2
    position += 4 + 4 * len(fields)  # table name pointer, field name pointers
    table_name = os.path.splitext(os.path.basename(path))[0].encode('ascii')
    header[position:position + len(table_name)] = table_name
    position += 261
    for name, _, _ in fields:
        raw = name.encode(codepage) + b'\0'
        header[position:position + len(raw)] = raw
        position += len(raw)
    for number_, _ in enumerate(fields, 1):
        struct.pack_into('<H', header, position, number_)
        position += 2
    header[position:position + 6] = b'ascii\0'
    assert position + 6 <= HEADER_SIZE

    with open(path, 'wb') as out:
        out.write(header)
        for n in range(1, len(chain) + 1):
            out.write(blocks[n])
    if has_memo:
        with open(os.path.splitext(path)[0] + '.MB', 'wb') as out:
            out.write(memo.bytes())


# Fields the program does not use may follow those it reads.
MASTER = [('Id', ALPHA, 4), ('Nom', ALPHA, 40), ('NbrElement', NUMBER, 8), ('TotProba', NUMBER, 8),
          ('Ordre', SHORT, 2), ('Actif', LOGICAL, 1), ('Modifie', TIMESTAMP, 8),
          ('Image', BLOB, 20)]
# The element table keeps a counter as its primary key, ahead of the fields the program shows.
SLAVE = [('Num', AUTOINC, 4), ('Proba', NUMBER, 8), ('Element', ALPHA, 60), ('ID', ALPHA, 4)]


def output_fields(text_field, string_field):
    return [('Id', NUMBER, 8), (text_field, MEMO, 210), (string_field, ALPHA, 9),
            ('DateCreation', DATE, 4), ('DateImprime', ALPHA, 8)]


def lines(*texts):
    return ''.join(t + '\r\n' for t in texts)


def write_base(folder):
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    # Totals of "cel" are stale (the store let them drift); "vide" has no element.
    write_table(os.path.join(folder, 'OVmaster.db'), MASTER, [
        ['age', 'Âge du personnage', 3, 6, 1, True, datetime.datetime(1999, 3, 1, 20, 15), None],
        ['cel', 'Célébrité', 9, 99, -2, False, None, None],
        ['vide', 'Table sans élément', 0, 0, None, None, None, None],
        ['rich', 'Richesse à l\'œil', 15, 15, 300, True, datetime.datetime(2001, 1, 1), None],
    ], codepage='cp1252', key_fields=1)
    elements = [[1, 1, '1Jeune', 'age'], [2, 2, '2Adulte', 'age'], [3, 3, '3Vieillard', 'age'],
                [4, 5, '0Inconnu', 'cel'], [5, 1, '1Célèbre à Thérbes', 'cel']]
    elements += [[5 + i, 1, 'Fortune n°%02d' % i, 'rich'] for i in range(1, 16)]
    elements += [[21, 2, 'Élément perdu', 'xxxx'], [22, -3, 'Poids négatif', 'cel']]
    # Blocks of 8 rows: the chain's second block stands last in the file.
    write_table(os.path.join(folder, 'OVslave.DB'), SLAVE, elements, codepage='cp850',
                key_fields=1, rows_per_block=8, file_order=[0, 2, 1])
    long_text = lines(*('Ligne %02d de la fiche, où l\'on décrit Éloïse en détail.' % i
                        for i in range(1, 9)))
    write_table(os.path.join(folder, 'OVperso.db'), output_fields('Perso', 'Sexe_Cel_Mel_Stat'), [
        [0, long_text, 'F 1 2 3', datetime.date(1999, 12, 31), '03/01/00'],
        [1, lines('Court : Gaëtan'), 'M 0 1 2', datetime.date(2000, 1, 2), None],
    ], codepage='cp1252', block_kb=2)
    write_table(os.path.join(folder, 'OVtresor.DB'), output_fields('Tresor', 'Type'), [
        [0, lines('Trésor de l\'évêque', *('Pièce d\'or n° %d, frappée à Çà-et-là' % i
                                          for i in range(1, 7))), 'Coffre', datetime.date(1998, 6, 15),
         None],
    ], codepage='cp850', block_kb=2)
    write_table(os.path.join(folder, 'OVrencontre.DB'), output_fields('Rencontre', 'Type'), [],
                codepage='cp1252', block_kb=2)


def write_damaged(base, folder):
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    with open(os.path.join(base, 'OVslave.DB'), 'rb') as f:
        slave = f.read()
    # Cut inside the second data block.
    with open(os.path.join(folder, 'OVslave.DB'), 'wb') as f:
        f.write(slave[:HEADER_SIZE + 1024 + 300])
    # The header announces more rows than its blocks hold and a record size far beyond them.
    with open(os.path.join(base, 'OVmaster.db'), 'rb') as f:
        master = bytearray(f.read())
    struct.pack_into('<H', master, 0, 0x7FF0)
    struct.pack_into('<I', master, 6, 1000000)
    with open(os.path.join(folder, 'OVmaster.db'), 'wb') as f:
        f.write(master)
    # The memo pointer of the first character aims past the end of its memo file.
    with open(os.path.join(base, 'OVperso.db'), 'rb') as f:
        perso = bytearray(f.read())
    pointer_at = HEADER_SIZE + 6 + 8 + 200
    struct.pack_into('<I', perso, pointer_at, (1 << 24) | 0xFF)
    with open(os.path.join(folder, 'OVperso.db'), 'wb') as f:
        f.write(perso)


if __name__ == '__main__':
    base = os.path.join(HERE, 'base')
    write_base(base)
    write_damaged(base, os.path.join(HERE, 'damaged'))
