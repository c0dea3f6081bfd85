"""A verifier of the verifiable draw, written from docs/verifiable-draw.md alone (not from the program).

    verifydraw.py PROOF                  a proof file: the whole journal, the seed revealed, the end line
    verifydraw.py --journal FILE SEED    a journal as a power cut left it, with the seed kept beside it:
                                         every whole entry is checked, no end line is asked for
    verifydraw.py --every-byte PROOF     the proof verifies, and fails with any one of its bytes changed

Prints every draw's winners as the hall saw them; exits 0 when everything checks, 1 with the reason
when something does not.
"""
import hashlib
import json
import sys

ZEROS = "0" * 64


class Refused(Exception):
    pass


def sha256_hex(data):
    return hashlib.sha256(data).hexdigest()


def list_hash(lines):
    return sha256_hex(b"".join(line.encode("utf-8") + b"\n" for line in lines))


def prizes_hash(prizes, repeat):
    lines = ["%d\t%s\t%d\t%d\t%s\t%s\t%d" % (p["slot"], p["name"], p["quantity"], p["perDraw"], p["only"],
                                             p["except"], 1 if p["winnersMay"] else 0) for p in prizes]
    lines.append("repeat\t%d" % (1 if repeat else 0))
    return list_hash(lines)


def parse_ranges(text):
    out = []
    if text == "":
        return out
    for part in text.split(","):
        ends = part.split("-")
        if len(ends) > 2 or not all(e.isdigit() for e in ends):
            raise Refused("bad ranges %r" % text)
        low, high = int(ends[0]), int(ends[-1])
        if high < low or (out and low <= out[-1]):
            raise Refused("ranges not ascending %r" % text)
        out.extend(range(low, high + 1))
    return out


def derive(seed, hall, entry, drawable_hash, size, count):
    """The indices picked from a list of size entries (rejection sampling on SHA-256 blocks)."""
    remaining = list(range(size))
    picked = []
    c = 0
    while len(picked) < count and remaining:
        m = len(remaining)
        bound = 2 ** 64 - (2 ** 64 % m)
        while True:
            text = "orvanta-draw-1|%s|%s|%d|%s|%d" % (seed, hall, entry, drawable_hash, c)
            c += 1
            v = int.from_bytes(hashlib.sha256(text.encode("utf-8")).digest()[:8], "big")
            if v < bound:
                picked.append(remaining.pop(v % m))
                break
    return picked


def is_hex64(text):
    return isinstance(text, str) and len(text) == 64 and all(ch in "0123456789abcdef" for ch in text)


def check(data, seed=None, partial=False):
    """Checks a proof (or, partial, a journal with its seed); returns the lines to print."""
    if not data.endswith(b"\n"):
        if not partial:
            raise Refused("the file does not end with a line break")
        data = data[:data.rfind(b"\n") + 1]  # a torn last line is no entry
    raw = data[:-1].split(b"\n") if data else []
    entries = []
    prev = ZEROS
    for i, line in enumerate(raw):
        try:
            entry = json.loads(line.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            raise Refused("entry %d is not JSON in UTF-8" % (i + 1))
        if not isinstance(entry, dict) or entry.get("n") != i + 1 or entry.get("prev") != prev:
            raise Refused("entry %d breaks the chain" % (i + 1))
        entries.append(entry)
        prev = sha256_hex(line)
    if not partial:
        if not entries or entries[-1].get("type") != "end":
            raise Refused("no end line")
        last = entries[-1]
        expected = '{"n":%d,"prev":"%s","type":"end"}' % (last["n"], last["prev"])
        if raw[-1] != expected.encode("ascii"):
            raise Refused("the end line is not as written")
        entries = entries[:-1]
    return replay(entries, seed, partial)


def replay(entries, seed, partial):
    out = []
    commitment = hall = None
    lines = None
    current_list = current_prizes = None
    draws = {}  # entry number -> (prize, shown names)
    revealed = seed
    pending = []  # draws checked once the seed is known
    for entry in entries:
        kind, n = entry.get("type"), entry["n"]
        if n == 1 and kind != "commit":
            raise Refused("the journal does not begin with the commitment")
        if kind in ("commit", "list"):
            if list_hash(entry["lines"]) != entry["listHash"]:
                raise Refused("entry %d: the list's hash does not match its lines" % n)
            lines, current_list = entry["lines"], entry["listHash"]
        if kind in ("commit", "prizes"):
            if prizes_hash(entry["prizes"], entry["repeat"]) != entry["prizesHash"]:
                raise Refused("entry %d: the prizes' hash does not match the prizes" % n)
            current_prizes = entry["prizesHash"]
        if kind == "commit":
            if n != 1 or not is_hex64(entry["commitment"]):
                raise Refused("entry %d: a commitment out of place" % n)
            commitment = entry["commitment"]
        elif kind == "hall":
            if hall is not None or draws or not 1 <= len(entry["number"]) <= 64 or entry["number"].strip("0123456789"):
                raise Refused("entry %d: the hall's number out of place" % n)
            hall = entry["number"]
        elif kind in ("draw", "supplementary"):
            if hall is None:
                raise Refused("entry %d: a draw before the hall's number" % n)
            if entry["list"] != current_list:
                raise Refused("entry %d: drawn from a list that is not the journal's" % n)
            drawable = parse_ranges(entry["drawable"])
            if drawable and drawable[-1] >= len(lines):
                raise Refused("entry %d: drawable lines past the list's end" % n)
            shown = [lines[p] for p in drawable]
            if list_hash(shown) != entry["drawableHash"]:
                raise Refused("entry %d: the drawable list's hash does not match" % n)
            count = 1 if kind == "supplementary" else entry["count"]
            pending.append((n, entry, drawable, count))
            draws[n] = (entry["prize"], [lines[p] for p in entry["winners"] if 0 <= p < len(lines)])
        elif kind == "void":
            if entry["of"] not in draws:
                raise Refused("entry %d voids no draw" % n)
            out.append("entry %d: draw %d void (%s)" % (n, entry["of"], entry["reason"]))
        elif kind in ("cancel", "restore"):
            if not any(prize == entry["prize"] and entry["winner"] in names for prize, names in draws.values()):
                raise Refused("entry %d: %s of someone no draw named" % (n, kind))
            out.append("entry %d: %s %s (%s)" % (n, kind, entry["winner"], entry["prize"]))
        elif kind in ("reveal", "initialise"):
            if not is_hex64(entry["seed"]) or sha256_hex(bytes.fromhex(entry["seed"])) != commitment:
                raise Refused("entry %d: the seed does not open the commitment" % n)
            if revealed is not None and revealed != entry["seed"]:
                raise Refused("entry %d: another seed than given" % n)
            revealed = entry["seed"]
        elif kind not in ("list", "prizes", "progress"):
            raise Refused("entry %d: unknown kind %r" % (n, kind))
    if revealed is None:
        raise Refused("the seed is not revealed")
    if sha256_hex(bytes.fromhex(revealed)) != commitment:
        raise Refused("the seed does not open the commitment")
    for n, entry, drawable, count in pending:
        picks = derive(revealed, hall, n, entry["drawableHash"], len(drawable), count)
        expected = [drawable[i] for i in picks]
        if entry["winners"] != expected or entry["shown"] != [lines_at(entries, n)[p] for p in expected]:
            raise Refused("entry %d: the winners are not the ones the seed gives" % n)
        out.append("entry %d: %s %s: %s" % (n, entry["type"], entry["prize"], ", ".join(entry["shown"])))
    if not partial and current_prizes is None:
        raise Refused("no prizes")
    return out


def lines_at(entries, n):
    """The entrant list as the journal stood at entry n."""
    lines = []
    for entry in entries:
        if entry["n"] >= n:
            break
        if entry.get("type") in ("commit", "list"):
            lines = entry["lines"]
    return lines


def verdict(data, seed=None, partial=False):
    try:
        return True, check(data, seed, partial)
    except (Refused, KeyError, TypeError, AttributeError, ValueError) as error:
        return False, ["refused: %s" % error]


def main(args):
    if args[:1] == ["--journal"]:
        ok, out = verdict(open(args[1], "rb").read(), args[2], True)
    elif args[:1] == ["--every-byte"]:
        data = open(args[1], "rb").read()
        ok, out = verdict(data)
        for at in range(len(data)) if ok else []:
            changed = bytearray(data)
            changed[at] ^= 0x01
            if verdict(bytes(changed))[0]:
                ok, out = False, ["byte %d changed still verifies" % at]
                break
        out = out if not ok else ["%d bytes, each changed alone, each refused" % len(data)]
    else:
        ok, out = verdict(open(args[0], "rb").read())
    print("\n".join(out))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
