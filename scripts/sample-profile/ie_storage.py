"""Internet Explorer UserData and DOM storage: an index.dat cache index in a
UserData and in a DOMStore folder, listing data files of evil and harmless sites.

The index layout: the file size at 28, the first hash table's offset at 32, the
cache subfolder names at 80 + 12 * i; a hash table ("HASH", length in 128-byte
blocks, next table) with 8-byte entries (hash value with flags, record offset)
from its 16th byte; "URL " records with their length in blocks at 4, the URL's
offset at 52, the subfolder index at 56 and the data file name's offset at 60."""
import os
import struct

BLOCK = 128


def index_dat(folders, entries):
    """folders: subfolder names; entries: (url, subfolder index, data file name)."""
    data = bytearray(b"Client UrlCache MMF Ver 5.2\x00".ljust(0x4000, b"\x00"))
    for i, name in enumerate(folders):
        data[80 + 12 * i:80 + 12 * i + 8] = name.encode().ljust(8, b"\x00")
    table = len(data)
    table_blocks = max(4, (16 + 8 * len(entries) + BLOCK - 1) // BLOCK)
    data += bytearray(table_blocks * BLOCK)
    data[table:table + 16] = b"HASH" + struct.pack("<III", table_blocks, 0, 0)
    for slot in range((table_blocks * BLOCK - 16) // 8):
        struct.pack_into("<II", data, table + 16 + 8 * slot, 3, 0xDEADBEEF)  # free slots
    for slot, (url, folder, file_name) in enumerate(entries):
        record = len(data)
        body = url.encode() + b"\x00" + file_name.encode() + b"\x00"
        blocks = (0x68 + len(body) + BLOCK - 1) // BLOCK
        data += bytearray(blocks * BLOCK)
        data[record:record + 8] = b"URL " + struct.pack("<I", blocks)
        struct.pack_into("<I", data, record + 52, 0x68)
        data[record + 56] = folder
        struct.pack_into("<I", data, record + 60, 0x68 + len(url) + 1)
        data[record + 0x68:record + 0x68 + len(body)] = body
        struct.pack_into("<II", data, table + 16 + 8 * slot, 0x2A5C4100 | slot << 8, record)
    struct.pack_into("<I", data, 28, len(data))
    struct.pack_into("<I", data, 32, table)
    return bytes(data)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make(profile):
    user_data = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Internet Explorer",
                             "UserData", "Low")
    write(os.path.join(user_data, "index.dat"), index_dat(
        ["4KQ2ZB7N", "Q0W9E8R7"],
        [("userdata:user@http@www.doubleclick.net/ads/", 0, "ads[1].xml"),
         ("userdata:user@https@mail.example.org/", 1, "mail[1].xml")]))
    write(os.path.join(user_data, "4KQ2ZB7N", "ads[1].xml"),
          b'<ROOTSTUFF><tracking id="9f2c61"/></ROOTSTUFF>')
    write(os.path.join(user_data, "Q0W9E8R7", "mail[1].xml"),
          b'<ROOTSTUFF><draft saved="1"/></ROOTSTUFF>')

    dom_store = os.path.join(profile, "AppData", "LocalLow", "Microsoft", "Internet Explorer",
                             "DOMStore")
    write(os.path.join(dom_store, "index.dat"), index_dat(
        ["ZX81ABCD"],
        [("domstore:http://www.scorecardresearch.com/", 0, "www.scorecardresearch[1].xml"),
         ("domstore:https://en.wikipedia.org/", 0, "en.wikipedia[1].xml")]))
    write(os.path.join(dom_store, "ZX81ABCD", "www.scorecardresearch[1].xml"),
          "\ufeff<root><item name=\"uid\" value=\"c0ffee\"/></root>".encode("utf-16-le"))
    write(os.path.join(dom_store, "ZX81ABCD", "en.wikipedia[1].xml"),
          b'<root><item name="lang" value="en"/></root>')


def make_scaled(profile, sites, missing_every=0):
    """A UserData index listing one data file for each of `sites` (benchmarks); with
    `missing_every` n, every n-th file is missing (its folder holds the others)."""
    user_data = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Internet Explorer",
                             "UserData")
    folders = ["B3NCH0A1", "B3NCH0B2", "B3NCH0C3", "B3NCH0D4"]
    entries = []
    for i, site in enumerate(sites):
        folder = i % len(folders)
        name = f"{site.split('.')[0] or 'x'}[{i}].xml"
        entries.append((f"userdata:user@http@{site}/", folder, name))
        if not missing_every or i % missing_every:
            write(os.path.join(user_data, folders[folder], name),
                  f'<ROOTSTUFF><item id="{i}"/></ROOTSTUFF>'.encode())
    for folder in folders:
        os.makedirs(os.path.join(user_data, folder), exist_ok=True)
    write(os.path.join(user_data, "index.dat"), index_dat(folders, entries))
