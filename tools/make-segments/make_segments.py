#!/usr/bin/python3
"""Writes the number-segment database sjhmd.dat and the province/city list CityInfo.dat.

The source is the China (+86) geocoding and carrier data of libphonenumber, as the Python
package "phonenumbers" ships it (Debian: python3-phonenumbers; Apache License 2.0). The
output depends only on that data: the same package version gives the same bytes.

usage: make_segments.py OUTPUT_FOLDER
       make_segments.py --version-stamp FILE   (writes the package version, if it changed)
"""

import os
import re
import sqlite3
import sys

import phonenumbers

# The mobile prefixes the phone-number rules know, in segment order.
MOBILE_PREFIXES = ([str(p) for p in range(130, 140)] + ["140", "143", "145", "147"] +
                   [str(p) for p in range(150, 160)] + [str(p) for p in range(180, 190)])

PROVINCE = re.compile(r"^(.+?省|北京市|天津市|上海市|重庆市|内蒙古|广西|西藏|宁夏|新疆)(.*)$")
MUNICIPALITIES = {"北京", "天津", "上海", "重庆"}

# Cities the fixed-line data has no entry for. Source: the list of mainland long-distance
# area codes (Chinese Wikipedia, "中国大陆长途电话区号列表"); most of these share the code
# of a neighbouring city.
AREA_CODE_OVERRIDES = {
    ("河北", "秦皇岛"): "0335",
    ("浙江", "舟山"): "0580",
    ("湖南", "株洲"): "0731",
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


def city_name(name):
    return name[:-1] if name.endswith("市") else name


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
    return province, city_name(rest)


def area_codes():
    """{(province, city): area code with its leading 0}."""
    from phonenumbers.geodata import GEOCODE_DATA

    candidates = {}
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
        names = [city_name(n) for n in rest.split("、")] if rest else [province]
        for position, name in enumerate(names):
            rank = (position, len(national), national)
            place = (province, name)
            if place not in candidates or rank < candidates[place][0]:
                candidates[place] = (rank, "0" + national)
    codes = {place: code for place, (_, code) in candidates.items()}
    codes.update(AREA_CODE_OVERRIDES)
    return codes


def segment_rows():
    from phonenumbers.carrierdata import CARRIER_DATA
    from phonenumbers.geodata import GEOCODE_DATA

    for prefix in MOBILE_PREFIXES:
        for i in range(10000):
            segment = "%s%04d" % (prefix, i)
            place = place_of(longest_prefix(GEOCODE_DATA, "86" + segment))
            if place:
                yield segment, place[0], place[1], longest_prefix(CARRIER_DATA, "86" + segment)


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
    codes = area_codes()
    rows = []
    missing = set()
    for segment, province, city, carrier in segment_rows():
        code = codes.get((province, city))
        if code is None:
            missing.add(province + city)
        rows.append((segment, province, city, carrier, code))
    if missing:
        sys.exit("make_segments: no area code for " + "、".join(sorted(missing)))

    # Provinces in the order of their smallest area code (北京 010, 上海 021, ...), cities
    # likewise, then by name.
    places = {}
    for _, province, city, _, code in rows:
        places.setdefault(province, {})[city] = code
    order = sorted(places, key=lambda p: (min(places[p].values()), p))
    cities = [(p, sorted(places[p], key=lambda c: (places[p][c], c))) for p in order]

    os.makedirs(out, exist_ok=True)
    write_database(os.path.join(out, "sjhmd.dat"), rows)
    write_city_info(os.path.join(out, "CityInfo.dat"), cities)


if __name__ == "__main__":
    main()
