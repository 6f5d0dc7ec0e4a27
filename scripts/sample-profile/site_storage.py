"""Page storage of today's browsers, per site: Microsoft Edge's local storage (a
LevelDB database with Chromium's key layout, written with LevelDB itself), Brave's
IndexedDB folders, and Firefox's per-site storage folders (one in a container) with
its local storage database, beside harmless sites of each kind."""
import os
import sqlite3

import plyvel

FIREFOX_PROFILE = "AppData/Roaming/Mozilla/Firefox/Profiles/x8k2q1zp.default"

# origin: {page key: value}
EDGE_LOCAL_STORAGE = {
    "https://www.doubleclick.net": {"_dc_gtm_id": "GTM-58ZP2K", "test_cookie": "CheckForPermission"},
    "https://ads.rubiconproject.com": {"rpx_uid": "MJ6L2TQ8-1A-8AKV"},
    "https://news.example": {"theme": "dark", "font-size": "17px"},
}

# (origin folder name without the suffix, files in it)
BRAVE_INDEXEDDB = [
    ("https_securepubads.doubleclick.net_0", {"CURRENT": b"MANIFEST-000001\n", "LOG": b""}),
    ("https_docs.example.org_0", {"CURRENT": b"MANIFEST-000001\n", "LOG": b"", "000003.log": b"x"}),
]

# (origin folder, {key: value} of its local storage)
FIREFOX_SITES = [
    ("https+++www.criteo.com", {"cto_bundle": "fT3pV19OUm5xT1kl"}),
    ("https+++www.criteo.com^userContextId=2", {"cto_bundle": "aK71ZZ0bX3dQ"}),
    ("https+++www.wikipedia.org", {"mwclientpreferences": "vector-feature-night"}),
]


def chromium_text(text):
    """A page key or value as Chromium keeps it: the Latin-1 marker, then the bytes."""
    return b"\x01" + text.encode("latin-1")


def make(profile):
    edge = os.path.join(profile, "AppData", "Local", "Microsoft", "Edge", "User Data", "Default",
                        "Local Storage", "leveldb")
    os.makedirs(edge, exist_ok=True)
    db = plyvel.DB(edge, create_if_missing=True)
    db.put(b"VERSION", b"1")
    for origin, pairs in EDGE_LOCAL_STORAGE.items():
        db.put(b"META:" + origin.encode(), b"\x08\x80\xd0\xd4\xb7\xb2\xe8\xe5\x17\x10\x2a")
        for key, value in pairs.items():
            db.put(b"_" + origin.encode() + b"\x00" + chromium_text(key), chromium_text(value))
    db.close()

    indexeddb = os.path.join(profile, "AppData", "Local", "BraveSoftware", "Brave-Browser",
                             "User Data", "Default", "IndexedDB")
    for name, files in BRAVE_INDEXEDDB:
        folder = os.path.join(indexeddb, name + ".indexeddb.leveldb")
        os.makedirs(folder, exist_ok=True)
        for file_name, data in files.items():
            with open(os.path.join(folder, file_name), "wb") as f:
                f.write(data)

    storage = os.path.join(profile, *FIREFOX_PROFILE.split("/"), "storage", "default")
    for name, pairs in FIREFOX_SITES:
        ls = os.path.join(storage, name, "ls")
        os.makedirs(ls, exist_ok=True)
        db = sqlite3.connect(os.path.join(ls, "data.sqlite"))
        db.executescript("CREATE TABLE data (key TEXT PRIMARY KEY, utf16_length INTEGER NOT NULL, "
                         "conversion_type INTEGER NOT NULL, compression_type INTEGER NOT NULL, "
                         "last_access_time INTEGER NOT NULL DEFAULT 0, value BLOB NOT NULL);")
        for key, value in pairs.items():
            db.execute("INSERT INTO data VALUES (?, ?, 1, 0, 0, ?)", (key, len(value), value.encode()))
        db.commit()
        db.close()
        with open(os.path.join(storage, name, ".metadata-v2"), "wb") as f:
            f.write(b"\x00" * 16)
