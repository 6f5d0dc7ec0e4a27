"""Google Chrome: two profiles ("Default" and "Profile 1") with a Cookies database
each, beside folders and files of User Data that hold no cookies. The databases use
Chrome's own table definitions: a current Chrome's and, for the older profile, that
of Chrome 80 (meta version 12). Today's "Default\\Network\\Cookies" is chromium.py's;
"Local State" names both profiles."""
import os
import sqlite3
import time

META = """
CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
INSERT INTO meta VALUES('mmap_status','-1'),('version','{0}'),('last_compatible_version','{0}');
"""

# Today's cookies table (meta versions 23 and 24 share it).
COOKIES_TODAY = """
CREATE TABLE cookies(creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,
  top_frame_site_key TEXT NOT NULL,name TEXT NOT NULL,value TEXT NOT NULL,
  encrypted_value BLOB NOT NULL,path TEXT NOT NULL,expires_utc INTEGER NOT NULL,
  is_secure INTEGER NOT NULL,is_httponly INTEGER NOT NULL,last_access_utc INTEGER NOT NULL,
  has_expires INTEGER NOT NULL,is_persistent INTEGER NOT NULL,priority INTEGER NOT NULL,
  samesite INTEGER NOT NULL,source_scheme INTEGER NOT NULL,source_port INTEGER NOT NULL,
  last_update_utc INTEGER NOT NULL,source_type INTEGER NOT NULL,
  has_cross_site_ancestor INTEGER NOT NULL);
CREATE UNIQUE INDEX cookies_unique_index ON cookies(host_key, top_frame_site_key,
  has_cross_site_ancestor, name, path, source_scheme, source_port);
"""

SCHEMA_CURRENT = META.format(23) + COOKIES_TODAY

SCHEMA_V12 = META.format(12) + """
CREATE TABLE cookies(creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,name TEXT NOT NULL,
  value TEXT NOT NULL,path TEXT NOT NULL,expires_utc INTEGER NOT NULL,is_secure INTEGER NOT NULL,
  is_httponly INTEGER NOT NULL,last_access_utc INTEGER NOT NULL,
  has_expires INTEGER NOT NULL DEFAULT 1,is_persistent INTEGER NOT NULL DEFAULT 1,
  priority INTEGER NOT NULL DEFAULT 1,encrypted_value BLOB DEFAULT '',
  samesite INTEGER NOT NULL DEFAULT -1,source_scheme INTEGER NOT NULL DEFAULT 0,
  UNIQUE (host_key, name, path));
"""

SECONDS_FROM_1601_TO_1970 = 11644473600


def chrome_time(unix_seconds):
    return (int(unix_seconds) + SECONDS_FROM_1601_TO_1970) * 1000000


def make(profile):
    user_data = os.path.join(profile, "AppData", "Local", "Google", "Chrome", "User Data")
    now = time.time()
    days = lambda n: chrome_time(now + n * 86400)

    profiles = {
        "Default": (SCHEMA_CURRENT, [
            (".doubleclick.net", "IDE", "AHWqTUm3", "/", days(400)),
            (".taboola.com", "t_gid", "8c1f-4e0b", "/", days(200)),
            (".youtube.com", "PREF", "f6=40000000", "/", days(300)),
            ("accounts.google.com", "ACCOUNT_CHOOSER", "AFx_qI4", "/", days(20)),
        ]),
        "Profile 1": (SCHEMA_V12, [
            (".scorecardresearch.com", "UID", "1a2b3c4d", "/", days(750)),
            (".outbrain.com", "obuid", "c0ffee", "/", days(25)),
            ("en.wikipedia.org", "enwikiUserName", "reader", "/", days(180)),
        ]),
    }
    for number, (folder, (schema, rows)) in enumerate(profiles.items()):
        os.makedirs(os.path.join(user_data, folder), exist_ok=True)
        db = sqlite3.connect(os.path.join(user_data, folder, "Cookies"))
        db.executescript(schema)
        for i, (host, name, value, path, expires) in enumerate(rows):
            created = chrome_time(now - 86400 * (number * 10 + i + 1))
            if schema is SCHEMA_CURRENT:
                db.execute("INSERT INTO cookies VALUES (?, ?, '', ?, ?, X'', ?, ?, 1, 0, ?, 1, 1, "
                           "1, -1, 2, 443, ?, 0, 0)",
                           (created, host, name, value, path, expires, created, created))
            else:
                db.execute("INSERT INTO cookies (creation_utc, host_key, name, value, path, "
                           "expires_utc, is_secure, is_httponly, last_access_utc) "
                           "VALUES (?, ?, ?, ?, ?, ?, 1, 0, ?)",
                           (created, host, name, value, path, expires, created))
        db.commit()
        db.close()

    # Folders without a Cookies database, and plain files: the store tries every
    # folder, finds nothing there and creates nothing.
    for folder in ("System Profile", "Crashpad", "Safe Browsing"):
        os.makedirs(os.path.join(user_data, folder), exist_ok=True)
    with open(os.path.join(user_data, "Local State"), "w") as f:
        f.write('{"profile":{"info_cache":{"Default":{"name":"Person 1"},'
                '"Profile 1":{"name":"Travel"}},"last_used":"Default"}}\n')
