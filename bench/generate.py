#!/usr/bin/env python3
"""Generates a synthetic Windows user profile for the benchmarks.

usage: generate.py small|large OUT_DIR
       generate.py growth CASE N OUT_DIR
       generate.py list hosts|domains|blocker N OUT_FILE

Every store gets files in the browsers' own formats and schemas, with a fixed
random seed and a realistic mix: about one item in four belongs to an advertising
or tracking site of the built-in filter list, the rest to ordinary sites.

A growth profile holds only what one growth case works on, N times over (see
GROWTH).

A tracker list holds N made-up domains (pronounceable names under common top-level
domains, some with a host below them, none a site of the profiles) in one of the
forms people keep (see LIST_FORMS), among comments and lines a reader skips."""
import os
import random
import shutil
import sqlite3
import sys

SCALES = {
    # store: (small, large)
    "ie_cookie_files": (300, 20000),
    "firefox_cookie_rows": (300, 100000),
    "firefox_cookies_txt_lines": (200, 2000),
    "dom_storage_rows": (300, 20000),
    "chrome_cookie_rows": (300, 100000),
    "chromium_network_cookie_rows": (300, 100000),
    "safari_plist_entries": (300, 10000),
    "safari_databases": (50, 2000),
    "safari_localstorage_files": (50, 2000),
    "flash_site_folders": (200, 5000),
    "ie_index_entries": (300, 20000),
}

EVIL = ["doubleclick.net", "demdex.net", "pubmatic.com", "scorecardresearch.com", "quantserve.com",
        "adnxs.com", "criteo.com", "casalemedia.com", "openx.net", "mathtag.com",
        "rubiconproject.com", "taboola.com", "adform.net", "imrworldwide.com",
        "yahoo.com", "yahoo.co.uk", "msn.com", "ioam.de", "gemius.pl", "adscale.de"]
GOOD = ["example.com", "example.org", "news.example", "shop.example", "bank.example",
        "wikipedia.org", "mail.example.net", "maps.example.com", "weather.example",
        "forum.example.org", "video.example", "docs.example.com"]
HOSTS = ["www", "ad", "ads", "b", "cdn", "static", "img", "", "", ""]
FILETIME_2030 = (1893456000 + 11644473600) * 10**7


def site(rng, evil_share=0.25):
    domain = rng.choice(EVIL) if rng.random() < evil_share else rng.choice(GOOD)
    host = rng.choice(HOSTS)
    return f"{host}.{domain}" if host else domain


def value(rng, n=24):
    return "".join(rng.choice("0123456789abcdef") for _ in range(n))


def ie_cookies(profile, rng, count):
    folder = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Windows", "Cookies")
    low = os.path.join(folder, "Low")
    os.makedirs(low, exist_ok=True)
    for i in range(count):
        records = []
        host = site(rng)
        for j in range(rng.randint(1, 4)):
            records.append(f"c{j}\n{value(rng)}\n{host}/\n1536\n{FILETIME_2030 & 0xFFFFFFFF}\n"
                           f"{FILETIME_2030 >> 32}\n2596102144\n30785009\n*\n")
        target = low if i % 5 == 0 else folder
        with open(os.path.join(target, f"user@{host}[{i}].txt"), "w", newline="") as f:
            f.write("".join(records))


def firefox(profile, rng, rows, txt_lines, dom_rows):
    root = os.path.join(profile, "AppData", "Roaming", "Mozilla", "Firefox")
    folder = os.path.join(root, "Profiles", "bench.default")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(root, "profiles.ini"), "w") as f:
        f.write("[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\nIsRelative=1\n"
                "Path=Profiles/bench.default\nDefault=1\n")
    db = sqlite3.connect(os.path.join(folder, "cookies.sqlite"))
    db.execute("CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL "
               "DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, "
               "lastAccessed INTEGER, creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER, "
               "inBrowserElement INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0, rawSameSite "
               "INTEGER DEFAULT 0, schemeMap INTEGER DEFAULT 0, CONSTRAINT moz_uniqueid UNIQUE "
               "(name, host, path, originAttributes))")
    db.execute("PRAGMA user_version = 12")
    db.executemany("INSERT INTO moz_cookies (name, value, host, path, expiry, lastAccessed, "
                   "creationTime, isSecure, isHttpOnly) VALUES (?, ?, ?, '/', 1893456000, "
                   "1600000000000000, 1600000000000000, 0, 0)",
                   [(f"n{i}", value(rng), "." + site(rng)) for i in range(rows)])
    db.commit()
    db.close()
    with open(os.path.join(folder, "cookies.txt"), "w") as f:
        f.write("# Netscape HTTP Cookie File\n\n")
        for i in range(txt_lines):
            f.write(f".{site(rng)}\tTRUE\t/\tFALSE\t1893456000\tt{i}\t{value(rng)}\n")
    db = sqlite3.connect(os.path.join(folder, "webappsstore.sqlite"))
    db.execute("CREATE TABLE webappsstore2 (scope TEXT, key TEXT, value TEXT, secure INTEGER, "
               "owner TEXT)")
    db.execute("CREATE UNIQUE INDEX scopekeyindex ON webappsstore2(scope, key)")
    db.execute("CREATE TABLE webappsstore (domain TEXT, key TEXT, value TEXT, secure INTEGER, "
               "owner TEXT)")
    db.executemany("INSERT INTO webappsstore2 VALUES (?, ?, ?, 0, '')",
                   [(site(rng)[::-1] + ".:http:80", f"k{i}", value(rng, 64))
                    for i in range(dom_rows)])
    db.executemany("INSERT INTO webappsstore VALUES (?, ?, ?, 0, '')",
                   [(site(rng), f"k{i}", value(rng, 64)) for i in range(dom_rows // 10)])
    db.commit()
    db.close()
    # Today's localStorage archive (a WAL database, as Firefox keeps it), with a
    # random source of its own so that the rest of the profile stays as it was.
    archive_rng = random.Random(20261211)
    os.makedirs(os.path.join(folder, "storage"), exist_ok=True)
    db = sqlite3.connect(os.path.join(folder, "storage", "ls-archive.sqlite"))
    db.executescript("PRAGMA journal_mode=WAL; CREATE TABLE webappsstore2 (originAttributes TEXT, "
                     "originKey TEXT, scope TEXT, key TEXT, value TEXT); CREATE UNIQUE INDEX "
                     "origin_key_index ON webappsstore2(originAttributes, originKey, key);")
    rows = []
    for i in range(dom_rows):
        scope = site(archive_rng)[::-1] + ".:https:443"
        rows.append(("", scope, scope, f"k{i}", value(archive_rng, 64)))
    db.executemany("INSERT INTO webappsstore2 VALUES (?, ?, ?, ?, ?)", rows)
    db.commit()
    db.close()


def chrome(profile, rng, rows):
    root = os.path.join(profile, "AppData", "Local", "Google", "Chrome", "User Data")
    for name, share in (("Default", 0.8), ("Profile 1", 0.2)):
        folder = os.path.join(root, name)
        os.makedirs(folder, exist_ok=True)
        db = sqlite3.connect(os.path.join(folder, "Cookies"))
        db.execute("CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value "
                   "LONGVARCHAR)")
        db.executemany("INSERT INTO meta VALUES (?, ?)",
                       [("version", "10"), ("last_compatible_version", "10")])
        db.execute("CREATE TABLE cookies (creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,"
                   "name TEXT NOT NULL,value TEXT NOT NULL,path TEXT NOT NULL,expires_utc INTEGER "
                   "NOT NULL,is_secure INTEGER NOT NULL,is_httponly INTEGER NOT NULL,"
                   "last_access_utc INTEGER NOT NULL, has_expires INTEGER NOT NULL DEFAULT 1, "
                   "is_persistent INTEGER NOT NULL DEFAULT 1,priority INTEGER NOT NULL DEFAULT 1,"
                   "encrypted_value BLOB DEFAULT '',firstpartyonly INTEGER NOT NULL DEFAULT 0,"
                   "UNIQUE (host_key, name, path))")
        db.executemany("INSERT INTO cookies VALUES (?, ?, ?, ?, '/', ?, 0, 0, ?, 1, 1, 1, '', 0)",
                       [(13200000000000000 + i, "." + site(rng), f"n{i}", value(rng),
                         FILETIME_2030 // 10, 13200000000000000)
                        for i in range(int(rows * share))])
        db.commit()
        db.close()
    os.makedirs(os.path.join(root, "Crashpad"), exist_ok=True)  # a folder without cookies


def sample_profile_module(name):
    """A writer of the sample profile (scripts/sample-profile/<name>.py), or None."""
    here = os.path.dirname(os.path.abspath(__file__))
    path = os.path.join(here, "..", "scripts", "sample-profile", name + ".py")
    if not os.path.exists(path):
        return None
    import importlib.machinery
    import types
    module = types.ModuleType(name)
    module.__file__ = path
    importlib.machinery.SourceFileLoader(name, path).exec_module(module)
    return module


# Today's Cookies table of the Chromium family (meta version 24), as the sample
# profile writes it.
CHROMIUM_V24 = sample_profile_module("chromium").SCHEMA_V24

# Today's layout: "<User Data>\Default\Network\Cookies", relative to the profile.
CHROMIUM_NETWORK_COOKIES = {
    "chrome": "AppData/Local/Google/Chrome/User Data/Default/Network/Cookies",
    "edge": "AppData/Local/Microsoft/Edge/User Data/Default/Network/Cookies",
}


def chromium_network(profile, rng, rows):
    """Chrome's and Edge's Default profile in today's layout: a Network\\Cookies
    database of today's schema, values empty and encrypted ("v10" and random bytes,
    as on Windows), about one row in five from an advertising or tracking site; and
    a "Local State" naming the profiles."""
    for relative in CHROMIUM_NETWORK_COOKIES.values():
        path = os.path.join(profile, *relative.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        db = sqlite3.connect(path)
        db.executescript(CHROMIUM_V24)
        created = 13350000000000000
        db.executemany("INSERT INTO cookies VALUES (?, ?, '', ?, '', ?, '/', ?, 1, 0, ?, 1, 1, 1, "
                       "-1, 2, 443, ?, 0, 0)",
                       [(created + i, "." + site(rng, 0.2), f"n{i}",
                         b"v10" + rng.randbytes(12 + 24 + 16), FILETIME_2030 // 10, created + i,
                         created + i) for i in range(rows)])
        db.commit()
        db.close()
        user_data = os.path.dirname(os.path.dirname(os.path.dirname(path)))
        with open(os.path.join(user_data, "Local State"), "w") as f:
            f.write('{"profile":{"info_cache":{"Default":{"name":"Person 1"},'
                    '"Profile 1":{"name":"Work"}},"last_used":"Default"}}\n')


def safari(profile, rng, entries, databases, localstorage):
    cookies = os.path.join(profile, "AppData", "Roaming", "Apple Computer", "Safari", "Cookies")
    os.makedirs(cookies, exist_ok=True)
    with open(os.path.join(cookies, "Cookies.plist"), "w", newline="") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE plist PUBLIC "-//Apple '
                'Computer//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n'
                '<plist version="1.0">\n<array>\n')
        for i in range(entries):
            f.write(f"\t<dict>\n\t\t<key>Created</key>\n\t\t<real>300000000.{i}</real>\n"
                    f"\t\t<key>Domain</key>\n\t\t<string>.{site(rng)}</string>\n"
                    f"\t\t<key>Expires</key>\n\t\t<date>2030-01-01T00:00:00Z</date>\n"
                    f"\t\t<key>Name</key>\n\t\t<string>n{i}</string>\n"
                    f"\t\t<key>Path</key>\n\t\t<string>/</string>\n"
                    f"\t\t<key>Value</key>\n\t\t<string>{value(rng)}</string>\n\t</dict>\n")
        f.write("</array>\n</plist>\n")
    base = os.path.join(profile, "AppData", "Local", "Apple Computer", "Safari")
    dbdir = os.path.join(base, "Databases")
    os.makedirs(dbdir, exist_ok=True)
    index = sqlite3.connect(os.path.join(dbdir, "Databases.db"))
    index.execute("CREATE TABLE Databases (guid INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT, "
                  "name TEXT, displayName TEXT, estimatedSize INTEGER, path TEXT)")
    for i in range(databases):
        origin = f"http_{site(rng)}_0"
        path = f"{i:016d}.db"
        os.makedirs(os.path.join(dbdir, origin), exist_ok=True)
        db = sqlite3.connect(os.path.join(dbdir, origin, path))
        db.execute("CREATE TABLE persist_data (k TEXT, v TEXT)")
        db.executemany("INSERT INTO persist_data VALUES (?, ?)",
                       [(f"k{j}", value(rng, 8)) for j in range(5)])
        db.commit()
        db.close()
        index.execute("INSERT INTO Databases (origin, name, displayName, estimatedSize, path) "
                      "VALUES (?, ?, ?, 5000, ?)", (origin, f"db{i}", f"Database {i}", path))
    index.commit()
    index.close()
    lsdir = os.path.join(base, "LocalStorage")
    os.makedirs(lsdir, exist_ok=True)
    for i in range(localstorage):
        db = sqlite3.connect(os.path.join(lsdir, f"http_{site(rng)}_{i}.localstorage"))
        db.execute("CREATE TABLE ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB NOT "
                   "NULL ON CONFLICT FAIL)")
        db.executemany("INSERT INTO ItemTable VALUES (?, ?)",
                       [(f"k{j}", value(rng, 8)) for j in range(5)])
        db.commit()
        db.close()


def flash(profile, rng, folders, sol_bytes):
    root = os.path.join(profile, "AppData", "Roaming", "Macromedia", "Flash Player",
                        "#SharedObjects", "KX7B3Q2W")
    for i in range(folders):
        folder = os.path.join(root, f"{site(rng)}-{i}" if i % 3 else site(rng) + f".n{i}")
        os.makedirs(os.path.join(folder, "swf"), exist_ok=True)
        with open(os.path.join(folder, "swf", "settings.sol"), "wb") as f:
            f.write(sol_bytes)


def ie_storage(profile, rng, entries, sites=None, missing_every=0):
    """IE UserData and DOM storage: an index.dat listing the data files, if the
    sample profile's writer is available."""
    ie = sample_profile_module("ie_storage")
    if ie is None or not hasattr(ie, "make_scaled"):
        return False
    ie.make_scaled(profile, sites or [site(rng) for _ in range(entries)], missing_every)
    return True


def growth_ie_rewrite(profile, rng, n):
    """N cookie files in one folder, each with evil and harmless records: a clean
    rewrites every one of them."""
    folder = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Windows", "Cookies")
    os.makedirs(folder, exist_ok=True)
    for i in range(n):
        records = [f"c{j}\n{value(rng)}\n{host}/\n1536\n{FILETIME_2030 & 0xFFFFFFFF}\n"
                   f"{FILETIME_2030 >> 32}\n2596102144\n30785009\n*\n"
                   for j, host in enumerate((f"ad.{rng.choice(EVIL)}", f"www.{rng.choice(GOOD)}"))]
        with open(os.path.join(folder, f"user@site{i}[1].txt"), "w", newline="") as f:
            f.write("".join(records))


def growth_ie_index(profile, rng, n):
    """An index.dat with N entries of evil sites, every third one naming a data file
    that is missing from a folder that holds the others."""
    if not ie_storage(profile, rng, n, [f"ad.{rng.choice(EVIL)}" for _ in range(n)], 3):
        sys.exit("generate.py: the sample profile's index writer is missing")


def growth_profiles_ini(profile, rng, n):
    """A profiles.ini listing N profiles (their folders are missing)."""
    root = os.path.join(profile, "AppData", "Roaming", "Mozilla", "Firefox")
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, "profiles.ini"), "w") as f:
        f.write("[General]\nStartWithLastProfile=1\n\n")
        for i in range(n):
            f.write(f"[Profile{i}]\nName=p{i}\nIsRelative=1\nPath=Profiles/{value(rng, 8)}.p{i}\n\n")


# case: (generator, store, mode, N); each case is measured at N and at 2 N.
GROWTH = {
    "ie-rewrite": (growth_ie_rewrite, "ie-cookies", "clean", 2000),
    "ie-index-missing": (growth_ie_index, "ie-storage", "scan", 4000),
    "profiles-ini": (growth_profiles_ini, "firefox-cookies", "scan", 5000),
}


SYLLABLES = [c + v for c in "bcdfgklmnprstvz" for v in "aeiou"]
WORDS = ["ads", "adserver", "analytics", "beacon", "cdn", "click", "collect", "count", "data",
         "metrics", "pixel", "sync", "stat", "tag", "track", "visit"]
TLDS = ["com"] * 6 + ["net"] * 3 + ["io", "de", "fr", "pl", "co.uk", "com.br", "info", "biz"]


def tracker_domains(rng, n):
    """N distinct made-up domains, a third of them with a host below the domain."""
    taken = set(EVIL) | set(GOOD)
    domains = []
    while len(domains) < n:
        name = "".join(rng.choice(SYLLABLES) for _ in range(rng.randint(2, 4)))
        if rng.random() < 0.4:
            name += "-" + rng.choice(WORDS)
        domain = f"{name}.{rng.choice(TLDS)}"
        if rng.random() < 0.33:
            domain = f"{rng.choice(WORDS)}{rng.randint(1, 9) if rng.random() < 0.3 else ''}.{domain}"
        if domain not in taken:
            taken.add(domain)
            domains.append(domain)
    return domains


def list_hosts(rng, domains):
    head = ["# Made-up hosts file for the benchmarks", "127.0.0.1 localhost", "::1 localhost", ""]
    body = []
    for i, domain in enumerate(domains):
        if i % 1000 == 0:
            body.append(f"# section {i // 1000}")
        body.append(f"{rng.choice(['0.0.0.0', '0.0.0.0', '127.0.0.1'])} {domain}")
    return head + body


def list_domains(rng, domains):
    return ["# Made-up domain list for the benchmarks", ""] + domains


def list_blocker(rng, domains):
    lines = ["[Adblock Plus 2.0]", "! Title: made-up list for the benchmarks", "!"]
    for domain in domains:
        lines.append(f"||{domain}^" + ("$third-party" if rng.random() < 0.2 else ""))
        roll = rng.random()
        if roll < 0.05:
            lines.append(f"{domain}##.{rng.choice(WORDS)}-banner")
        elif roll < 0.08:
            lines.append(f"||{domain}^$script")
        elif roll < 0.10:
            lines.append(f"/{rng.choice(WORDS)}/*")
    return lines


# form: writer of its lines from the domains.
LIST_FORMS = {"hosts": list_hosts, "domains": list_domains, "blocker": list_blocker}


def write_list(form, n, out):
    rng = random.Random(20261211)
    lines = LIST_FORMS[form](rng, tracker_domains(rng, n))
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "w", newline="") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if sys.argv[1] == "list":
        write_list(sys.argv[2], int(sys.argv[3]), sys.argv[4])
        return
    if sys.argv[1] == "growth":
        case, n, out = sys.argv[2], int(sys.argv[3]), sys.argv[4]
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        GROWTH[case][0](out, random.Random(20261209), n)
        return
    scale, out = sys.argv[1], sys.argv[2]
    pick = 0 if scale == "small" else 1
    n = {key: sizes[pick] for key, sizes in SCALES.items()}
    rng = random.Random(20261208)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    sol = bytes(range(256)) * 2
    ie_cookies(out, rng, n["ie_cookie_files"])
    ie_storage(out, rng, n["ie_index_entries"])
    firefox(out, rng, n["firefox_cookie_rows"], n["firefox_cookies_txt_lines"], n["dom_storage_rows"])
    chrome(out, rng, n["chrome_cookie_rows"])
    safari(out, rng, n["safari_plist_entries"], n["safari_databases"], n["safari_localstorage_files"])
    flash(out, rng, n["flash_site_folders"], sol)
    chromium_network(out, random.Random(20261210), n["chromium_network_cookie_rows"])


if __name__ == "__main__":
    main()
