"""Internet Explorer cookie files: evil and harmless sites, in the cookie folder
and its protected-mode "Low" folder."""
import os


def record(name, value, site, flags=1536):
    # expiry 2030-01-01, creation 2020-01-01 as FILETIME halves
    return f"{name}\n{value}\n{site}\n{flags}\n2684731392\n31520448\n1761935360\n30785590\n*\n"


def make(profile):
    cookies = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Windows", "Cookies")
    low = os.path.join(cookies, "Low")
    os.makedirs(low, exist_ok=True)
    files = {
        os.path.join(cookies, "user@doubleclick[1].txt"):
            record("id", "22c0f5b1e2a00053", "doubleclick.net/"),
        os.path.join(cookies, "user@news.example[2].txt"):
            record("session", "a71be0", "news.example/") + record("lang", "en", "news.example/"),
        os.path.join(cookies, "user@mixed[1].txt"):
            record("UID", "3c9a8e", "b.scorecardresearch.com/")
            + record("theme", "dark", "mail.example.org/")
            + record("__utma", "173272373.1", "ib.adnxs.com/"),
        os.path.join(low, "user@yahoo[1].txt"):
            record("B", "8hd2sb9", "www.yahoo.co.uk/"),
        os.path.join(low, "user@wikipedia[1].txt"):
            record("enwikiUserName", "reader", "en.wikipedia.org/"),
    }
    for path, text in files.items():
        with open(path, "w", newline="\r\n") as f:
            f.write(text)
