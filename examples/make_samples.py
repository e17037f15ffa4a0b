#!/usr/bin/env python3
"""Writes the sample gun books of Velmora Pawn & Loan as CSV.

    python3 examples/make_samples.py [OUTPUT_DIR]

old-book.csv is the store's gun book as copied on 07/20/2025 for the change
of licence on 06/30/2025; new-book.csv is the store program's live data of
08/31/2025: the same entries received up to the date (a few on-hand guns
sold since), the same entries after it, and the weeks since. The output is
exactly what `varnok-cli book export` writes, so importing a sample and
exporting it again gives the same file byte for byte.

Python 3 standard library only. The numbers come from a small generator of
our own with a fixed seed, so every Python gives the same files.
"""

import datetime
import os
import sys

CONVERSION_DATE = "20250630"
OLD_COPY_DATE = "20250720"
NEW_COPY_DATE = "20250831"

# The 28 fields in record order with their stored widths (DispFlag is the
# 16-bit integer and has none).
FIELDS = [
    ("Field00", 15), ("Field01", 12), ("Field02", 8), ("Field03", 15),
    ("DateIn", 8), ("RecvLastName", 15), ("Field06", 15), ("DateOut", 8),
    ("DispLastName", 15), ("Field09", 15), ("RecvFirstName", 20),
    ("RecvAddress", 30), ("RecvCity", 20), ("RecvState", 2),
    ("DispFirstName", 20), ("DispAddress", 30), ("DispCity", 20),
    ("DispState", 2), ("DispZip", 5), ("RecvZip", 5), ("Status", 15),
    ("Field21", 15), ("Field22", 15), ("Field23", 15), ("Field24", 7),
    ("DispFlag", None), ("Field26", 6), ("Field27", 20),
]
WIDTH = dict(FIELDS)


class Random:
    """xorshift64*: small, and the same on every Python."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= x >> 12
        x ^= (x << 25) & 0xFFFFFFFFFFFFFFFF
        x ^= x >> 27
        self.state = x
        return (x * 0x2545F4914F6CDD1D) & 0xFFFFFFFFFFFFFFFF

    def below(self, n):
        return (self.next() >> 11) % n

    def between(self, low, high):
        return low + self.below(high - low + 1)

    def pick(self, items):
        return items[self.below(len(items))]

    def chance(self, percent):
        return self.below(100) < percent


LAST_NAMES = [
    "GARCIA", "JOHNSON", "MARTINEZ", "SMITH", "HERNANDEZ", "WILLIAMS", "LOPEZ",
    "BROWN", "GONZALEZ", "JONES", "RODRIGUEZ", "DAVIS", "PEREZ", "MILLER",
    "SANCHEZ", "WILSON", "RAMIREZ", "ANDERSON", "TORRES", "TAYLOR", "FLORES",
    "THOMAS", "RIVERA", "MOORE", "GOMEZ", "JACKSON", "DIAZ", "WHITE", "REYES",
    "HARRIS", "CRUZ", "CLARK", "MORALES", "LEWIS", "ORTIZ", "WALKER", "GUTIERREZ",
    "HALL", "CHAVEZ", "ALLEN", "RAMOS", "YOUNG", "MENDOZA", "KING", "CASTILLO",
    "WRIGHT", "VASQUEZ", "SCOTT", "MORENO", "GREEN", "BAKER", "NELSON", "HILL",
    "CAMPBELL", "MITCHELL", "ROBERTS", "CARTER", "PHILLIPS", "EVANS", "TURNER",
    "PARKER", "COLLINS", "EDWARDS", "STEWART", "O'NEAL", "MCALLISTER",
    "NÚÑEZ", "MÜLLER", "PEÑA", "VAN DER BERG", "DUBOIS",
]
FIRST_NAMES = [
    "JAMES", "MARIA", "ROBERT", "JOSE", "MICHAEL", "JENNIFER", "DAVID", "LINDA",
    "JOHN", "PATRICIA", "WILLIAM", "ELIZABETH", "RICHARD", "BARBARA", "CARLOS",
    "SUSAN", "JOSEPH", "JESSICA", "THOMAS", "SARAH", "CHRISTOPHER", "KAREN",
    "DANIEL", "NANCY", "MATTHEW", "LISA", "ANTHONY", "BETTY", "MARK", "SANDRA",
    "DONALD", "ASHLEY", "STEVEN", "KIMBERLY", "PAUL", "EMILY", "ANDREW", "DONNA",
    "JOSHUA", "MICHELLE", "KENNETH", "CAROL", "KEVIN", "AMANDA", "BRIAN",
    "MELISSA", "GEORGE", "DEBORAH", "TIMOTHY", "STEPHANIE", "RAY", "BILLY JOE",
    "RENÉE", "ZOË", "JOSÉ LUIS", "MARY ANN",
]
STREETS = [
    "MAIN ST", "OAK AVE", "PINE ST", "ELM ST", "CEDAR LN", "MAPLE DR", "N 1ST ST",
    "S 7TH ST", "BUTTERNUT ST", "CHESTNUT ST", "HICKORY ST", "SAYLES BLVD",
    "BARROW ST", "TREADAWAY BLVD", "AMBLER AVE", "OLD ANSON RD", "CATCLAW DR",
    "RUIDOSA AVE", "FM 600", "COUNTY RD 153", "RANCH RD 2398", "HWY 36 E",
]
# City, state and zip; most customers live near the store.
PLACES = [
    ("ABILENE", "TX", "79601"), ("ABILENE", "TX", "79602"), ("ABILENE", "TX", "79603"),
    ("ABILENE", "TX", "79605"), ("ABILENE", "TX", "79606"), ("MERKEL", "TX", "79536"),
    ("CLYDE", "TX", "79510"), ("TUSCOLA", "TX", "79562"), ("BAIRD", "TX", "79504"),
    ("ANSON", "TX", "79501"), ("SWEETWATER", "TX", "79556"), ("BALLINGER", "TX", "76821"),
    ("CISCO", "TX", "76437"), ("SAN ANGELO", "TX", "76901"), ("LAWTON", "OK", "73501"),
    ("HOBBS", "NM", "88240"), ("SHREVEPORT", "LA", "71101"),
]
# Makes, and each model with its caliber and kind.
GUNS = [
    ("SMITH & WESSON", [("M&P9 SHIELD", "9MM", "PISTOL"), ("MODEL 19", ".357MAG", "REVOLVER"),
                        ("MODEL 686", ".357MAG", "REVOLVER"), ("SD40VE", ".40S&W", "PISTOL"),
                        ("M&P15 SPORT II", "5.56NATO", "RIFLE")]),
    ("GLOCK", [("G19 GEN5", "9MM", "PISTOL"), ("G17 GEN4", "9MM", "PISTOL"),
               ("G43X", "9MM", "PISTOL"), ("G22", ".40S&W", "PISTOL")]),
    ("RUGER", [("10/22 CARBINE", ".22LR", "RIFLE"), ("LCP II", ".380ACP", "PISTOL"),
               ("SECURITY-9", "9MM", "PISTOL"), ("GP100", ".357MAG", "REVOLVER"),
               ("AMERICAN", ".308WIN", "RIFLE")]),
    ("REMINGTON", [("870 EXPRESS", "12GA", "SHOTGUN"), ("700 ADL", ".30-06", "RIFLE"),
                   ("1100", "12GA", "SHOTGUN"), ("597", ".22LR", "RIFLE")]),
    ("MOSSBERG", [("500", "12GA", "SHOTGUN"), ("590A1", "12GA", "SHOTGUN"),
                  ("MAVERICK 88", "20GA", "SHOTGUN"), ("PATRIOT", ".243WIN", "RIFLE")]),
    ("SIG SAUER", [("P365", "9MM", "PISTOL"), ("P320 COMPACT", "9MM", "PISTOL"),
                   ("P226", "9MM", "PISTOL"), ("P238", ".380ACP", "PISTOL")]),
    ("WINCHESTER", [("MODEL 70", ".270WIN", "RIFLE"), ("SXP DEFENDER", "12GA", "SHOTGUN"),
                    ("MODEL 94", ".30-30", "RIFLE")]),
    ("COLT", [("1911 GOVERNMENT", ".45ACP", "PISTOL"), ("PYTHON", ".357MAG", "REVOLVER"),
              ("AR-15A4", "5.56NATO", "RIFLE")]),
    ("SPRINGFIELD ARM", [("XD-9", "9MM", "PISTOL"), ("HELLCAT", "9MM", "PISTOL"),
                         ("1911 RANGE OFC", ".45ACP", "PISTOL")]),
    ("TAURUS", [("G2C", "9MM", "PISTOL"), ("JUDGE", ".410GA", "REVOLVER"),
                ("85 ULTRA-LITE", ".38SPL", "REVOLVER")]),
    ("HENRY", [("GOLDEN BOY", ".22LR", "RIFLE"), ("BIG BOY", ".44MAG", "RIFLE")]),
    ("SAVAGE", [("AXIS II", ".243WIN", "RIFLE"), ("MARK II", ".22LR", "RIFLE"),
                ("110 HUNTER", ".308WIN", "RIFLE")]),
    ("BERETTA", [("92FS", "9MM", "PISTOL"), ("APX", "9MM", "PISTOL"),
                 ("A300", "12GA", "SHOTGUN")]),
    ("MARLIN", [("336C", ".30-30", "RIFLE"), ("MODEL 60", ".22LR", "RIFLE"),
                ("1895", ".45-70", "RIFLE")]),
    ("HERITAGE MFG", [("ROUGH RIDER", ".22LR", "REVOLVER")]),
    ("KIMBER", [("MICRO 9", "9MM", "PISTOL"), ("CUSTOM II", ".45ACP", "PISTOL")]),
]
NOTES = [
    "", "", "", "W/ 2 MAGS", "HARD CASE", "SCRATCH ON SLIDE", "NO MAG", "W/ SCOPE",
    "W/ CASE, 2 MAGS", '6" BARREL', "BLUED", "STAINLESS", "PINK GRIP", "SLING",
    "TRIGGER LOCK", "BOX & PAPERS", "\u201cAS IS\u201d NO RETURN",
]
CLERKS = ["CLERK JMR", "CLERK DLH", "CLERK ART", "CLERK KSW", "MGR T. VELMORA"]


def book_date(day):
    return day.strftime("%Y%m%d")


def parse_date(text):
    return datetime.date(int(text[:4]), int(text[4:6]), int(text[6:]))


D = parse_date(CONVERSION_DATE)
DAY = datetime.timedelta(days=1)


class Samples:
    def __init__(self, seed):
        self.rng = Random(seed)
        self.next_stock = 101
        self.serials = set()

    def person(self):
        r = self.rng
        city, state, zip_code = r.pick(PLACES)
        return {
            "last": r.pick(LAST_NAMES),
            "first": r.pick(FIRST_NAMES),
            "address": "%d %s" % (r.between(100, 9899), r.pick(STREETS)),
            "city": city,
            "state": state,
            "zip": zip_code,
        }

    def serial(self):
        r = self.rng
        while True:
            letters = "".join(r.pick("ABCDEFGHJKLMNPRSTUVWXYZ") for _ in range(r.between(2, 3)))
            serial = letters + str(r.between(10000, 9999999))
            if serial not in self.serials:
                self.serials.add(serial)
                return serial

    def entry(self, date_in, status, date_out=None):
        """One gun received on date_in (None: the date was never entered)."""
        r = self.rng
        make, models = r.pick(GUNS)
        model, caliber, kind = r.pick(models)
        year = (date_in or D).year
        seller = self.person()
        e = {name: "" for name, _ in FIELDS}
        e.update({
            "Field00": "G-%d-%05d" % (year, self.next_stock),
            "Field01": self.serial(),
            "Field02": caliber,
            "Field03": make,
            "DateIn": book_date(date_in) if date_in else "",
            "RecvLastName": seller["last"],
            "RecvFirstName": seller["first"],
            "RecvAddress": seller["address"],
            "RecvCity": seller["city"],
            "RecvState": seller["state"],
            "RecvZip": seller["zip"],
            "Field06": model,
            "Status": status,
            "Field21": kind,
            "Field22": "TKT %07d" % r.between(1000, 999999),
            "Field23": r.pick(CLERKS),
            "Field24": "%d.00" % (r.between(8, 120) * 5),
            "DispFlag": "0",
            "Field26": "B-%02d" % r.between(1, 40),
            "Field27": r.pick(NOTES),
        })
        self.next_stock += 1
        if date_out is not None:
            self.dispose(e, date_out)
        return e

    def dispose(self, e, date_out):
        """Written as the store program writes a disposal (date_out "" is a
        disposal whose date was never entered)."""
        buyer = self.person()
        e["Status"] = "SOLD"
        e["DateOut"] = date_out if isinstance(date_out, str) else book_date(date_out)
        e["DispLastName"] = buyer["last"]
        e["DispFirstName"] = buyer["first"]
        e["DispAddress"] = buyer["address"]
        e["DispCity"] = buyer["city"]
        e["DispState"] = buyer["state"]
        e["DispZip"] = buyer["zip"]
        e["Field09"] = "4473 #%06d" % self.rng.between(1, 999999)
        # A few carry the flag of an earlier licence change.
        e["DispFlag"] = "-1" if self.rng.chance(20) else "0"

    def day_between(self, first, last):
        return first + self.rng.between(0, (last - first).days) * DAY


def full_width(e, stock, serial):
    e.update({
        "Field00": stock,
        "Field01": serial,
        "Field02": "7.62NATO",
        "Field03": "SPRINGFIELD ARM",
        "RecvLastName": "CHRISTOPHERSONS",
        "Field06": "M1A SCOUT SQUAD",
        "RecvFirstName": "MARY-ELIZABETH ANNE.",
        "RecvAddress": "12345 NORTH TREADAWAY BLVD #1A",
        "RecvCity": "NORTH RICHLAND HILLS",
        "RecvState": "TX",
        "RecvZip": "76180",
        "Field21": "SEMI-AUTO RIFLE",
        "Field22": "TKT 0001234-567",
        "Field23": "MGR T. VELMORA.",
        "Field24": "1250.00",
        "Field26": "VAULT1",
        "Field27": "W/ CASE, 3 MAGS, OPT",
    })
    if e["DateOut"]:
        e.update({
            "DispLastName": "FITZGERALD-COLE",
            "Field09": "4473 #A1234-567",
            "DispFirstName": "BARTHOLOMEW JEREMIAH",
            "DispAddress": "4021 SOUTH OLD ANSON ROAD APT9",
            "DispCity": "NORTH RICHLAND HILLS",
            "DispState": "TX",
            "DispZip": "76180",
        })
    # Status keeps its word; every other field in use is full.
    for name, width in FIELDS:
        if width and e[name] and name != "Status":
            assert len(e[name].encode("cp1252")) == width, (name, e[name])


def old_book(samples):
    """The old book as copied on OLD_COPY_DATE, and the role of each entry."""
    s, r = samples, samples.rng
    copy_day = parse_date(OLD_COPY_DATE)
    planned = []  # (date_in or None, kind)

    def plan(count, first, last, kind):
        for _ in range(count):
            planned.append((s.day_between(first, last), kind))

    plan(144, datetime.date(2019, 3, 1), D - 10 * DAY, "sold before")
    plan(5, datetime.date(2025, 3, 1), D - DAY, "sold on the date")
    plan(14, datetime.date(2024, 6, 1), D - DAY, "sold after")
    plan(3, datetime.date(2023, 1, 1), D - DAY, "sold, no date out")
    plan(45, D - 120 * DAY, D - DAY, "PAWN")
    plan(30, D - 700 * DAY, D - DAY, "SALE")
    for status, count in (("PAWNED", 3), ("PAWN - EXTENDED", 1), ("SALE ITEM", 4),
                          ("pawn", 3), (" PAWN", 3)):
        plan(count, D - 200 * DAY, D - DAY, status)
    for kind in ("PAWN", "PAWN", "PAWN", "SALE", "SALE", "sold on the date", "sold after",
                 "PAWNED"):
        planned.append((D, kind))
    plan(16, D + DAY, copy_day, "PAWN")
    plan(8, D + DAY, copy_day, "SALE")
    plan(6, D + DAY, copy_day, "sold after")
    plan(1, D + DAY, copy_day, "SALE ITEM")
    plan(1, D + DAY, copy_day, " PAWN")
    # Received, but the date was never entered.
    blanks = ["PAWN", "PAWN", "SALE", "sold before", "sold after"]

    # Stock numbers follow the order of receipt; the undated entries were
    # typed in among the others.
    planned.sort(key=lambda p: p[0])
    for i, kind in enumerate(blanks):
        planned.insert(40 + 50 * i, (None, kind))

    entries = []
    for date_in, kind in planned:
        if kind in ("PAWN", "SALE", "PAWNED", "PAWN - EXTENDED", "SALE ITEM", "pawn", " PAWN"):
            e = s.entry(date_in, kind)
        else:
            e = s.entry(date_in, "SOLD")
            received = date_in or datetime.date(2024, 1, 2)
            if kind == "sold before":
                last = min(received + 400 * DAY, D - DAY)
                s.dispose(e, s.day_between(received + DAY, last))
            elif kind == "sold on the date":
                s.dispose(e, D)
            elif kind == "sold after":
                s.dispose(e, s.day_between(max(received, D + DAY), copy_day))
            else:
                s.dispose(e, "")
        entries.append(e)

    # Entries filled to the width of every field: one long sold, one still
    # in pawn, one sold after the date, one received after it.
    for e in pick_each(entries, r, [
            lambda e: e["DateOut"] and e["DateOut"] < CONVERSION_DATE and e["DateIn"],
            lambda e: e["Status"] == "PAWN" and e["DateIn"] and e["DateIn"] < CONVERSION_DATE,
            lambda e: e["DateOut"] > CONVERSION_DATE and e["DateIn"] <= CONVERSION_DATE
            and e["DateIn"],
            lambda e: e["DateIn"] > CONVERSION_DATE]):
        full_width(e, e["Field00"] + "-RT", "SNX%09d" % r.between(100000000, 999999999))
    return entries


def pick_each(entries, r, tests):
    picked = []
    for test in tests:
        candidates = [e for e in entries if test(e) and e not in picked]
        picked.append(r.pick(candidates))
    return picked


def new_book(samples, old):
    """The live data on NEW_COPY_DATE: the old book's entries, a few on-hand
    guns sold since the old book was copied, and the guns received since."""
    s, r = samples, samples.rng
    copy_day = parse_date(OLD_COPY_DATE)
    live_day = parse_date(NEW_COPY_DATE)
    entries = [dict(e) for e in old]
    on_hand = [e for e in entries if e["Status"] in ("PAWN", "SALE") and not e["DateOut"]]
    for e in pick_distinct(on_hand, r, 7):
        s.dispose(e, s.day_between(copy_day + DAY, live_day))
    for status, count in (("PAWN", 14), ("SALE", 8), ("sold", 6)):
        for _ in range(count):
            date_in = s.day_between(copy_day + DAY, live_day)
            if status == "sold":
                entries.append(s.entry(date_in, "SOLD", s.day_between(date_in, live_day)))
            else:
                entries.append(s.entry(date_in, status))
    return entries


def pick_distinct(items, r, count):
    items = list(items)
    picked = []
    for _ in range(count):
        picked.append(items.pop(r.below(len(items))))
    return picked


def csv_field(value):
    if any(c in value for c in '",\r\n'):
        return '"' + value.replace('"', '""') + '"'
    return value


def check(e):
    for name, width in FIELDS:
        value = e[name]
        if width is None:
            assert -32768 <= int(value) <= 32767, (name, value)
            continue
        assert len(value.encode("cp1252")) <= width, (e["Field00"], name, value)
        assert value == value.rstrip(" "), (e["Field00"], name, value)


def write_csv(path, entries):
    keys = [e["Field00"].ljust(15) for e in entries]
    assert len(set(keys)) == len(keys), "Field00 must be unique"
    lines = [",".join(name for name, _ in FIELDS)]
    for e in sorted(entries, key=lambda e: e["Field00"].ljust(15).encode("cp1252")):
        check(e)
        lines.append(",".join(csv_field(e[name]) for name, _ in FIELDS))
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write("".join(line + "\r\n" for line in lines))


def summary(name, entries):
    def count(test):
        return sum(1 for e in entries if test(e))

    d = CONVERSION_DATE
    rows = [
        ("entries", len(entries)),
        ("received before the date", count(lambda e: e["DateIn"] and e["DateIn"] < d)),
        ("received on the date", count(lambda e: e["DateIn"] == d)),
        ("received after the date", count(lambda e: e["DateIn"] > d)),
        ("blank DateIn", count(lambda e: not e["DateIn"])),
        ("disposed before the date", count(lambda e: e["DateOut"] and e["DateOut"] < d)),
        ("disposed on the date", count(lambda e: e["DateOut"] == d)),
        ("disposed after the date", count(lambda e: e["DateOut"] > d)),
        ("blank DateOut", count(lambda e: not e["DateOut"])),
        ("SOLD with a blank DateOut", count(lambda e: e["Status"] == "SOLD" and not e["DateOut"])),
    ]
    for status in ("PAWN", "SALE", "SOLD", "PAWNED", "PAWN - EXTENDED", "SALE ITEM", "pawn",
                   " PAWN"):
        rows.append(('Status "%s"' % status, count(lambda e, s=status: e["Status"] == s)))
    rows += [
        ("DispFlag -1", count(lambda e: e["DispFlag"] == "-1")),
        ("every field full width", count(lambda e: len(e["Field00"]) == 15)),
    ]
    print(name)
    for label, value in rows:
        print("  %-28s %4d" % (label, value))


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    samples = Samples(seed=20250630)
    old = old_book(samples)
    new = new_book(samples, old)
    write_csv(os.path.join(out_dir, "old-book.csv"), old)
    write_csv(os.path.join(out_dir, "new-book.csv"), new)
    summary("old-book.csv", old)
    summary("new-book.csv", new)


if __name__ == "__main__":
    main()
