"""Firefox: one profile listed in profiles.ini, with both cookie stores (the old
Netscape "cookies.txt" and the "cookies.sqlite" database) and the DOM storage
database "webappsstore.sqlite", each holding evil and harmless sites. The databases
use Firefox's own table definitions and, like Firefox's, the WAL journal."""
import os
import sqlite3
import time

PROFILE_DIR = "Profiles/x8k2q1zp.default"

COOKIE_SCHEMA = """
CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, baseDomain TEXT,
  originAttributes TEXT NOT NULL DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT,
  expiry INTEGER, lastAccessed INTEGER, creationTime INTEGER, isSecure INTEGER,
  isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0,
  CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));
CREATE INDEX moz_basedomain ON moz_cookies (baseDomain, originAttributes);
"""

# Firefox 3 to 40 keep webappsstore2 (keyed by the host written backwards); a
# profile migrated from Firefox 2 still has the older webappsstore (keyed by domain).
STORAGE_SCHEMA = """
CREATE TABLE webappsstore2 (scope TEXT, key TEXT, value TEXT, secure INTEGER, owner TEXT);
CREATE UNIQUE INDEX scope_key_index ON webappsstore2(scope, key);
CREATE TABLE webappsstore (domain TEXT, key TEXT, value TEXT, secure INTEGER, owner TEXT);
CREATE UNIQUE INDEX domainkeyindex ON webappsstore(domain, key);
"""


def make(profile):
    firefox = os.path.join(profile, "AppData", "Roaming", "Mozilla", "Firefox")
    folder = os.path.join(firefox, *PROFILE_DIR.split("/"))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(firefox, "profiles.ini"), "w", newline="\r\n") as f:
        f.write("[General]\nStartWithLastProfile=1\n\n"
                f"[Profile0]\nName=default\nIsRelative=1\nPath={PROFILE_DIR}\nDefault=1\n")

    now = int(time.time())
    days = lambda n: now + n * 86400

    lines = [
        "# Netscape HTTP Cookie File",
        "# This is a generated file!  Do not edit.",
        "",
        f"#HttpOnly_.doubleclick.net\tTRUE\t/\tFALSE\t{days(400)}\tid\t2c1b7c1e3e050057",
        f".wikipedia.org\tTRUE\t/\tTRUE\t{days(30)}\tWMF-Last-Access\t12-Jun-2024",
        f".quantserve.com\tTRUE\t/\tFALSE\t{days(90)}\tmc\t5f4e3d2c-1b0a",
        f"news.example\tFALSE\t/\tFALSE\t{days(10)}\tedition\tuk",
    ]
    with open(os.path.join(folder, "cookies.txt"), "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")

    db = sqlite3.connect(os.path.join(folder, "cookies.sqlite"))
    db.execute("PRAGMA journal_mode=WAL")
    db.execute("PRAGMA user_version=10")
    db.executescript(COOKIE_SCHEMA)
    created = now * 1000000
    rows = [
        ("adnxs.com", "uuid2", "8430189365723012734", ".adnxs.com", "/", days(90)),
        ("criteo.com", "uid", "Xy7_k1Qp", ".criteo.com", "/", days(395)),
        ("mozilla.org", "lang", "en-US", "www.mozilla.org", "/", days(5)),
        ("github.com", "logged_in", "no", ".github.com", "/", days(365)),
    ]
    for base, name, value, host, path, expiry in rows:
        db.execute("INSERT INTO moz_cookies (baseDomain, name, value, host, path, expiry, "
                   "lastAccessed, creationTime, isSecure, isHttpOnly) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, 1, 0)",
                   (base, name, value, host, path, expiry, created, created))
    db.commit()
    db.close()

    db = sqlite3.connect(os.path.join(folder, "webappsstore.sqlite"))
    db.executescript(STORAGE_SCHEMA)
    db.executemany("INSERT INTO webappsstore2 VALUES (?, ?, ?, 0, '')", [
        ("ten.kcilcelbuod.sts.:http:80", "dc_session", "a81f"),
        ("gro.aidepikiw.ne.:https:443", "mw-prefs", "{\"skin\":\"vector\"}"),
    ])
    db.executemany("INSERT INTO webappsstore VALUES (?, ?, ?, 0, '')", [
        ("ads.pubmatic.com", "rm_last", "1213"),
        ("news.example", "font", "large"),
    ])
    db.commit()
    db.close()
