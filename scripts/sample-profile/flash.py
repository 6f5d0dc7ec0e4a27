"""Flash local shared objects: site folders below #SharedObjects, one evil and
one harmless, each holding .sol files."""
import os
import struct


def sol(name, body):
    """A small AMF0 local shared object file."""
    name_bytes = name.encode()
    payload = (b"TCSO\x00\x04\x00\x00\x00\x00" + struct.pack(">H", len(name_bytes)) + name_bytes
               + b"\x00\x00\x00\x00" + body)
    return b"\x00\xbf" + struct.pack(">I", len(payload)) + payload


def amf_string(key, value):
    return (struct.pack(">H", len(key)) + key.encode() + b"\x02"
            + struct.pack(">H", len(value)) + value.encode() + b"\x00")


def make(profile):
    root = os.path.join(profile, "AppData", "Roaming", "Macromedia", "Flash Player",
                        "#SharedObjects", "K7ZQ3M2P")
    files = {
        os.path.join(root, "ad.doubleclick.net", "adj", "track.swf", "uid.sol"):
            sol("uid", amf_string("uid", "8c1e55a0")),
        os.path.join(root, "www.example.org", "game.swf", "highscore.sol"):
            sol("highscore", amf_string("best", "4200")),
    }
    for path, data in files.items():
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
