#!/usr/bin/python3
"""Writes the number-segment database sjhmd.dat and the province/city list CityInfo.dat.

The source is the China (+86) metadata, geocoding and carrier data of libphonenumber
(Apache License 2.0), as libphonenumber-cn.txt beside this script holds it: made from the
npm packages by scripts/refresh-segments.sh, which records their versions in it. The output
depends only on that file: the same file gives the same bytes.

Every segment (first seven digits) of 130 to 199 that the metadata counts as mobile gets a
row when the data names its place or its carrier; a segment with a carrier but no place has
an empty province, city and area code, so a lookup still tells its card type. The rows of an
area code begin with the city the fixed-line data names first for it; each city's rows are
in segment order.

usage: make_segments.py DATA_FILE OUTPUT_FOLDER
"""

import os
import re
import sqlite3
import sys


# The mobile numbering the segments are taken from: every 3-digit prefix 130 to 199.
MOBILE_PREFIXES = [str(p) for p in range(130, 200)]

# A municipality is written with or without 市 (one 177 block says only "天津").
PROVINCE = re.compile(r"^(.+?省|北京市?|天津市?|上海市?|重庆市?|内蒙古|广西|西藏|宁夏|新疆)(.*)$")
MUNICIPALITIES = {"北京", "天津", "上海", "重庆"}

# Cities the fixed-line data has no entry for. Source: the list of mainland long-distance
# area codes (Chinese Wikipedia, "中国大陆长途电话区号列表"); most of these share the code
# of a neighbouring city.
AREA_CODE_OVERRIDES = {
    ("河北", "秦皇岛"): "0335",
    ("浙江", "舟山"): "0580",
    ("江西", "鹰潭"): "0701",
    ("山西", "朔州"): "0349",
    ("安徽", "亳州"): "0558",
    ("甘肃", "嘉峪关"): "0937",
    ("甘肃", "金昌"): "0935",
    ("湖北", "潜江"): "0728",
    ("湖北", "神农架林区"): "0719",
    ("广西", "崇左"): "0771",
    ("广西", "来宾"): "0772",
    ("广西", "贵港"): "0775",
    ("广西", "贺州"): "0774",
}


# Cities of this data under a name they no longer have, by today's name. Source: the
# administrative-division changes the State Council approved, as the Ministry of Civil
# Affairs publishes them (民政部 行政区划变更): 襄樊 renamed 襄阳 in 2010; the prefecture 巢湖
# dissolved in 2011, its seat now the county-level city 巢湖 of 合肥. "株州" is a misspelling
# of 株洲 in the fixed-line data.
CITY_RENAMES = {
    ("湖北", "襄樊"): "襄阳",
    ("安徽", "巢湖"): "合肥",
    ("湖南", "株州"): "株洲",
}

# Carriers of prefixes that libphonenumber's own carrier file for China (resources/carrier/
# zh/86.txt in its repository) names and the npm package's snapshot of it does not yet: the
# virtual-operator blocks 162 and 165, the satellite block 1349 (中国电信 since it took over
# 中国卫通's services) and the data-only blocks of 14x. The package's entries come first.
NEWER_CARRIERS = {
    "1349": "中国电信",
    "1410": "中国电信",
    "1440": "中国移动",
    "146": "中国联通",
    "148": "中国移动",
    "149": "中国电信",
    "162": "中国电信",
    "165": "中国移动",
}


class Data:
    """The lines of libphonenumber-cn.txt (see extract-libphonenumber.js)."""

    def __init__(self, path):
        self.sources = []
        self.mobile = None
        self.carriers = {}
        self.areas = {}
        places = {0: ""}
        runs = []
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                line = line.rstrip("\n")
                if not line or line.startswith("#"):
                    continue
                kind, _, rest = line.partition(" ")
                if kind.isdigit():
                    if not rest.isdigit():
                        sys.exit("make_segments: %s:%d: bad segment run" % (path, number))
                    runs.append((int(kind), int(rest)))
                elif kind == "source":
                    self.sources.append(rest)
                elif kind == "mobile":
                    self.mobile = rest
                elif kind in ("carrier", "area", "place"):
                    key, _, value = rest.partition(" ")
                    if not key.isdigit() or not value:
                        sys.exit("make_segments: %s:%d: bad line" % (path, number))
                    if kind == "carrier":
                        self.carriers[key] = value
                    elif kind == "area":
                        self.areas[key] = value
                    else:
                        places[int(key)] = value
                else:
                    sys.exit("make_segments: %s:%d: unknown line" % (path, number))
        if not self.sources or not self.mobile or not runs:
            sys.exit("make_segments: %s holds no source, mobile pattern or segments" % path)
        for key, name in NEWER_CARRIERS.items():
            self.carriers.setdefault(key, name)
        # The place of every segment 1300000 ... 1999999, by its run.
        self.places = [""] * 700000
        runs.append((2000000, 0))
        for (start, place), (end, _) in zip(runs, runs[1:]):
            if not 1300000 <= start < end <= 2000000 or place not in places:
                sys.exit("make_segments: %s: bad segment run %d" % (path, start))
            self.places[start - 1300000:end - 1300000] = [places[place]] * (end - start)

    def place(self, segment):
        return self.places[int(segment) - 1300000]

    def carrier(self, segment):
        for length in range(len(segment), 0, -1):
            name = self.carriers.get(segment[:length])
            if name is not None:
                return name
        return ""


def province_of(description):
    """(province without 省/市/自治区, the rest of the description) or None."""
    m = PROVINCE.match(description)
    if not m:
        return None
    province = m.group(1)
    for suffix in ("自治区", "省", "市"):
        if province.endswith(suffix):
            province = province[: -len(suffix)]
            break
    return province, m.group(2)


def city_name(province, name):
    name = name[:-1] if name.endswith("市") else name
    return CITY_RENAMES.get((province, name), name)


def place_of(description):
    """(province, city) named by a mobile segment's description, or None."""
    parsed = province_of(description)
    if not parsed:
        return None
    province, rest = parsed
    if not rest:
        return (province, province) if province in MUNICIPALITIES else None
    if "、" in rest:
        return None
    return province, city_name(province, rest)


def area_codes(data):
    """({(province, city): area code with its leading 0},
        {area code: the cities the fixed-line data names for it, in its order})."""
    candidates = {}
    named = {}
    for national in sorted(data.areas):
        # Area codes are 10, 2x and 3xx to 9xx; shorter keys (e.g. 33) only stand for every
        # code they begin, and 1x beyond 10 are mobile prefixes.
        if not (national == "10" or (len(national) == 2 and national[0] == "2") or
                (len(national) == 3 and national[0] in "3456789")):
            continue
        parsed = province_of(data.areas[national])
        if not parsed:
            continue
        province, rest = parsed
        names = [city_name(province, n) for n in rest.split("、")] if rest else [province]
        named["0" + national] = list(dict.fromkeys((province, n) for n in names))
        for position, name in enumerate(names):
            rank = (position, len(national), national)
            place = (province, name)
            if place not in candidates or rank < candidates[place][0]:
                candidates[place] = (rank, "0" + national)
    codes = {place: code for place, (_, code) in candidates.items()}
    codes.update(AREA_CODE_OVERRIDES)
    return codes, named


def mobile_segments(data):
    """Every segment of MOBILE_PREFIXES whose numbers the metadata counts as mobile."""
    pattern = re.compile("(?:%s)\\Z" % data.mobile)
    for prefix in MOBILE_PREFIXES:
        for i in range(10000):
            segment = "%s%04d" % (prefix, i)
            first, last = pattern.match(segment + "0000"), pattern.match(segment + "9999")
            if bool(first) != bool(last):
                sys.exit("make_segments: the mobile pattern splits the segment " + segment)
            if first:
                yield segment


def segment_rows(data, segments):
    """(segment, province, city, card type) of every segment whose place or carrier the data
    names; province and city are empty when only the carrier is known."""
    for segment in segments:
        place = place_of(data.place(segment)) or ("", "")
        card_type = data.carrier(segment)
        if place[0] or card_type:
            yield segment, place[0], place[1], card_type


def write_database(path, rows):
    temp = path + ".tmp"
    if os.path.exists(temp):
        os.remove(temp)
    db = sqlite3.connect(temp)
    db.executescript("""
        PRAGMA journal_mode = OFF;
        PRAGMA synchronous = OFF;
        CREATE TABLE hd (ID INTEGER PRIMARY KEY, 号段 TEXT NOT NULL, 省份 TEXT NOT NULL,
                         城市 TEXT NOT NULL, 卡型 TEXT NOT NULL, 区号 TEXT NOT NULL);
    """)
    db.executemany("INSERT INTO hd VALUES (?, ?, ?, ?, ?, ?)",
                   ((n, *row) for n, row in enumerate(rows, 1)))
    db.executescript("""
        CREATE INDEX hd_segment ON hd (号段);
        CREATE INDEX hd_area_code ON hd (区号);
        CREATE INDEX hd_city ON hd (城市);
    """)
    db.commit()
    db.close()
    os.replace(temp, path)


def write_city_info(path, cities):
    """[province]#[city]#[city] blocks written one after the other, GBK, no line breaks."""
    text = "".join("[" + "]#[".join([province] + names) + "]" for province, names in cities)
    temp = path + ".tmp"
    with open(temp, "wb") as f:
        f.write(text.encode("gbk"))
    os.replace(temp, path)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = Data(sys.argv[1])
    out = sys.argv[2]
    codes, named = area_codes(data)
    segments = list(mobile_segments(data))
    rows = []
    missing = set()
    for segment, province, city, card_type in segment_rows(data, segments):
        code = codes.get((province, city), "") if city else ""
        if city and not code:
            missing.add(province + city)
        rows.append((segment, province, city, card_type, code))
    if missing:
        sys.exit("make_segments: no area code for " + "、".join(sorted(missing)))

    # The lookup by area code answers its first row: rows of a code begin with the city its
    # fixed-line entry names first; then the other cities of the code, a city's rows in
    # segment order. Rows without a place come last.
    def order(row):
        segment, province, city, _, code = row
        if not city:
            return (1, "", 0, "", "", segment)
        cities = named.get(code, [])
        rank = cities.index((province, city)) if (province, city) in cities else len(cities)
        return (0, code, rank, province, city, segment)

    rows.sort(key=order)
    placeless = sum(1 for row in rows if not row[2])
    prefixes = sorted({segment[:3] for segment, *_ in rows})
    print("make_segments: %s: %d rows of %d mobile segments (%d without a place), prefixes %s" %
          (", ".join(data.sources), len(rows), len(segments), placeless, " ".join(prefixes)))

    # Provinces in the order of their smallest area code (北京 010, 上海 021, ...), cities
    # likewise, then by name.
    places = {}
    for _, province, city, _, code in rows:
        if city:
            places.setdefault(province, {})[city] = code
    order = sorted(places, key=lambda p: (min(places[p].values()), p))
    cities = [(p, sorted(places[p], key=lambda c: (places[p][c], c))) for p in order]

    os.makedirs(out, exist_ok=True)
    write_database(os.path.join(out, "sjhmd.dat"), rows)
    write_city_info(os.path.join(out, "CityInfo.dat"), cities)


if __name__ == "__main__":
    main()
