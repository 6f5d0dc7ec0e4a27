"""Safari: the cookie plist, per-origin databases listed in Databases.db, and
local-storage files, each with evil and harmless sites."""
import os
import sqlite3

HEAD = ('<?xml version="1.0" encoding="UTF-8"?>\n'
        '<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN" '
        '"http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
        '<plist version="1.0">\n<array>\n')
TAIL = '</array>\n</plist>\n'


def entry(domain, name, value, secure=False):
    text = ('\t<dict>\n'
            '\t\t<key>Created</key>\n\t\t<real>294365102.5</real>\n'
            f'\t\t<key>Domain</key>\n\t\t<string>{domain}</string>\n'
            '\t\t<key>Expires</key>\n\t\t<date>2030-01-01T00:00:00Z</date>\n'
            f'\t\t<key>Name</key>\n\t\t<string>{name}</string>\n'
            '\t\t<key>Path</key>\n\t\t<string>/</string>\n')
    if secure:
        text += '\t\t<key>Secure</key>\n\t\t<string>TRUE</string>\n'
    return text + f'\t\t<key>Value</key>\n\t\t<string>{value}</string>\n\t</dict>\n'


def cookies(profile):
    folder = os.path.join(profile, "AppData", "Roaming", "Apple Computer", "Safari", "Cookies")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Cookies.plist"), "w", newline="\n") as f:
        f.write(HEAD + entry(".doubleclick.net", "id", "2a1f9c")
                + entry("www.example.org", "session", "s3cr3t", secure=True)
                + entry(".quantserve.com", "mc", "50f1&amp;2") + TAIL)


def databases(profile):
    folder = os.path.join(profile, "AppData", "Local", "Apple Computer", "Safari", "Databases")
    os.makedirs(folder, exist_ok=True)
    index = sqlite3.connect(os.path.join(folder, "Databases.db"))
    index.executescript(
        "CREATE TABLE Origins (origin TEXT UNIQUE ON CONFLICT REPLACE, "
        "quota INTEGER NOT NULL ON CONFLICT FAIL);"
        "CREATE TABLE Databases (guid INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT, name TEXT, "
        "displayName TEXT, estimatedSize INTEGER, path TEXT);"
        "CREATE INDEX origin_index ON Databases (origin);"
        "CREATE UNIQUE INDEX unique_database_path ON Databases (origin, name);")
    rows = [("http_ad.doubleclick.net_0", "persist", "Persistent data", "0000000000000001.db"),
            ("http_notes.example.org_0", "notes", "My notes", "0000000000000002.db")]
    for origin, name, shown, path in rows:
        index.execute("INSERT INTO Origins VALUES (?, 5242880)", (origin,))
        index.execute("INSERT INTO Databases (origin, name, displayName, estimatedSize, path) "
                      "VALUES (?, ?, ?, 1024, ?)", (origin, name, shown, path))
        os.makedirs(os.path.join(folder, origin), exist_ok=True)
        page = sqlite3.connect(os.path.join(folder, origin, path))
        page.executescript(
            "CREATE TABLE __WebKitDatabaseInfoTable__ (key TEXT NOT NULL ON CONFLICT FAIL UNIQUE "
            "ON CONFLICT REPLACE, value TEXT NOT NULL ON CONFLICT FAIL);"
            "INSERT INTO __WebKitDatabaseInfoTable__ VALUES ('WebKitDatabaseVersionKey', '1.0');"
            "CREATE TABLE persist_data (k TEXT UNIQUE NOT NULL PRIMARY KEY, v TEXT NOT NULL);")
        page.execute("INSERT INTO persist_data VALUES ('uid', ?)", (name + "-4711",))
        page.commit()
        page.close()
    index.commit()
    index.close()


def local_storage(profile):
    folder = os.path.join(profile, "AppData", "Local", "Apple Computer", "Safari", "LocalStorage")
    os.makedirs(folder, exist_ok=True)
    for origin, items in (("http_www.criteo.com_0", [("uid", "c9e1"), ("seen", "3")]),
                          ("https_www.wikipedia.org_0", [("theme", "dark")])):
        db = sqlite3.connect(os.path.join(folder, origin + ".localstorage"))
        db.execute("CREATE TABLE ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, "
                   "value BLOB NOT NULL ON CONFLICT FAIL)")
        db.executemany("INSERT INTO ItemTable VALUES (?, ?)", items)
        db.commit()
        db.close()


def make(profile):
    cookies(profile)
    databases(profile)
    local_storage(profile)
