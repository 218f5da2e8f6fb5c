#!/usr/bin/python3
"""Writes the number-segment database sjhmd.dat and the province/city list CityInfo.dat.

The source is the China (+86) metadata, geocoding and carrier data of libphonenumber, as the
Python package "phonenumbers" ships it (Debian: python3-phonenumbers; Apache License 2.0).
The output depends only on that data: the same package version gives the same bytes.

Every segment (first seven digits) of 130 to 199 that the metadata counts as mobile gets a
row when the data names its place or its carrier; a segment with a carrier but no place has
an empty province, city and area code, so a lookup still tells its card type. The rows of an
area code begin with the city the fixed-line data names first for it; each city's rows are
in segment order.

usage: make_segments.py OUTPUT_FOLDER
       make_segments.py --version-stamp FILE   (writes the package version, if it changed)
"""

import os
import re
import sqlite3
import sys

import phonenumbers

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

# Card types the carrier data gives in another form, or not at all. Sources: the carrier data
# names China Broadnet (中国广电, given the prefix 192 by the Ministry of Industry and
# Information Technology in 2019) only as "CBN"; the block 1349 is the satellite telephone
# block of 中国卫通 in the national numbering plan (《电信网编号计划》), and the data names no
# carrier for it.
CARRIER_NAMES = {"CBN": "中国广电"}
CARD_TYPE_OF_BLOCK = {"1349": "卫星电话"}


def longest_prefix(data, number):
    for length in range(min(len(number), 9), 0, -1):
        entry = data.get(number[:length])
        if entry is not None:
            return entry.get("zh", "")
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


def area_codes():
    """({(province, city): area code with its leading 0},
        {area code: the cities the fixed-line data names for it, in its order})."""
    from phonenumbers.geodata import GEOCODE_DATA

    candidates = {}
    named = {}
    for key in sorted(GEOCODE_DATA):
        if not key.startswith("86") or len(key) > 5:
            continue
        national = key[2:]
        # Area codes are 10, 2x and 3xx to 9xx; shorter keys (e.g. 33) only stand for every
        # code they begin, and 1x beyond 10 are mobile prefixes.
        if not (national == "10" or (len(national) == 2 and national[0] == "2") or
                (len(national) == 3 and national[0] in "3456789")):
            continue
        parsed = province_of(GEOCODE_DATA[key].get("zh", ""))
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


def mobile_segments():
    """Every segment of MOBILE_PREFIXES whose numbers the metadata counts as mobile."""
    from phonenumbers import PhoneMetadata

    pattern = re.compile("(?:%s)\\Z" % PhoneMetadata.metadata_for_region("CN").mobile
                         .national_number_pattern)
    for prefix in MOBILE_PREFIXES:
        for i in range(10000):
            segment = "%s%04d" % (prefix, i)
            first, last = pattern.match(segment + "0000"), pattern.match(segment + "9999")
            if bool(first) != bool(last):
                sys.exit("make_segments: the mobile pattern splits the segment " + segment)
            if first:
                yield segment


def segment_rows(segments):
    """(segment, province, city, card type) of every segment whose place or carrier the data
    names; province and city are empty when only the carrier is known."""
    from phonenumbers.carrierdata import CARRIER_DATA
    from phonenumbers.geodata import GEOCODE_DATA

    for segment in segments:
        place = place_of(longest_prefix(GEOCODE_DATA, "86" + segment)) or ("", "")
        carrier = longest_prefix(CARRIER_DATA, "86" + segment)
        card_type = CARD_TYPE_OF_BLOCK.get(segment[:4], CARRIER_NAMES.get(carrier, carrier))
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


def write_version_stamp(path):
    """Touches the stamp only when the version changed, so the data is made again only then."""
    version = "phonenumbers " + phonenumbers.__version__ + "\n"
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == version:
                return
    except OSError:
        pass
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        f.write(version)
    os.replace(path + ".tmp", path)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--version-stamp":
        write_version_stamp(sys.argv[2])
        return
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    codes, named = area_codes()
    segments = list(mobile_segments())
    rows = []
    missing = set()
    for segment, province, city, card_type in segment_rows(segments):
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
    print("make_segments: %d rows of %d mobile segments (%d without a place), prefixes %s" %
          (len(rows), len(segments), placeless, " ".join(prefixes)))

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
