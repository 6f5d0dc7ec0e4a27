"""The Chromium family in today's layout: Chrome's, Microsoft Edge's and Brave's
"<profile>\\Network\\Cookies" databases of today's schema (meta version 24), with
empty values and encrypted ones ("v10" and random bytes, as Chromium writes them
on Windows), and a "Local State" naming the profiles. Brave has a second profile,
"Profile 2", shown as "Work"."""
import importlib.machinery
import json
import os
import random
import sqlite3
import time
import types


def _chrome():
    """chrome.py beside this file, whose table definitions this one shares."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "chrome.py")
    module = types.ModuleType("chrome")
    module.__file__ = path
    importlib.machinery.SourceFileLoader("chrome", path).exec_module(module)
    return module


_CHROME = _chrome()
SCHEMA_V24 = _CHROME.META.format(24) + _CHROME.COOKIES_TODAY

SECONDS_FROM_1601_TO_1970 = 11644473600

# user data folder below AppData/Local: {profile folder: (shown name, cookies)}, each
# cookie (host_key, name, top_frame_site_key, days until it expires).
BROWSERS = {
    "Google/Chrome/User Data": {
        "Default": ("Person 1", [
            (".criteo.com", "uid", "", 390),
            (".adnxs.com", "uuid2", "https://news.example", 90),
            ("www.example.org", "session", "", 7),
        ]),
    },
    "Microsoft/Edge/User Data": {
        "Default": ("Profile 1", [
            (".doubleclick.net", "IDE", "", 400),
            (".rubiconproject.com", "khaos", "", 365),
            ("login.example.com", "MSPRequ", "", 1),
            (".wikipedia.org", "WMF-Last-Access", "", 30),
        ]),
    },
    "BraveSoftware/Brave-Browser/User Data": {
        "Default": ("Personal", [
            (".quantserve.com", "mc", "", 395),
            ("forum.example.org", "theme", "", 60),
        ]),
        "Profile 2": ("Work", [
            (".casalemedia.com", "CMID", "", 365),
            (".mathtag.com", "uuid", "https://shop.example", 390),
            ("mail.example.net", "lang", "", 365),
        ]),
    },
}


def chrome_time(unix_seconds):
    return (int(unix_seconds) + SECONDS_FROM_1601_TO_1970) * 1000000


def make(profile):
    rng = random.Random(20261209)
    now = time.time()
    for user_data_path, profiles in BROWSERS.items():
        user_data = os.path.join(profile, "AppData", "Local", *user_data_path.split("/"))
        for number, (folder, (_, cookies)) in enumerate(profiles.items()):
            network = os.path.join(user_data, folder, "Network")
            os.makedirs(network, exist_ok=True)
            db = sqlite3.connect(os.path.join(network, "Cookies"))
            db.executescript(SCHEMA_V24)
            for i, (host, name, partition, days) in enumerate(cookies):
                created = chrome_time(now - 86400 * (number * 10 + i + 1))
                encrypted = b"v10" + rng.randbytes(12 + 16 + rng.randint(8, 40))
                db.execute("INSERT INTO cookies VALUES (?, ?, ?, ?, '', ?, '/', ?, 1, 1, ?, 1, "
                           "1, 1, 0, 2, 443, ?, 0, ?)",
                           (created, host, partition, name, encrypted,
                            chrome_time(now + days * 86400), created, created,
                            1 if partition else 0))
            db.commit()
            db.close()
        if user_data_path.startswith("Google/"):
            continue  # Chrome's Local State is chrome.py's
        state = {"profile": {"info_cache": {folder: {"name": shown}
                                            for folder, (shown, _) in profiles.items()},
                             "last_used": "Default"}}
        with open(os.path.join(user_data, "Local State"), "w") as f:
            json.dump(state, f)
