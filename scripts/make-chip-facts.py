#!/usr/bin/env python3
"""Writes data/chip-facts.tsv, the chip facts the programs read, from the reference tables in
an avr-facts folder (avr-facts.tsv, avr-fuse-bits.tsv, avr-fuse-fields.tsv,
signature-groups.tsv).

    scripts/make-chip-facts.py [FACTS_DIR] [OUTPUT]

Chips are written in the order of data/chip.txt. Every text shown to users is made here from
the structured parts of the reference texts (frequencies, start-up times, voltages, sizes) with
our own templates. Each text is made twice from the same parts: bilingual (Chinese, a space,
English) for the program's own language and English alone for every other. A value text no
template understands gets a plain generic meaning and is listed on stderr so that a template
can be added. The script stops on facts that contradict each other, so a bad reference table
cannot slip into the data file.
"""

import csv
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FACTS_DIR = sys.argv[1] if len(sys.argv) > 1 else "/work/shared/avr-facts"
OUTPUT = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "data", "chip-facts.tsv")

BYTE_NAMES = {"lfuse": "low", "hfuse": "high", "efuse": "ext", "lock": "lock"}

# What each field is for, as shown beside its value.
FIELD_ABOUT = {
    "BLB0": "应用区保护 application section protection",
    "BLB1": "引导区保护 boot section protection",
    "BODACT": "运行时掉电检测 brown-out detection while active",
    "BODEN": "掉电检测使能 brown-out detection enable",
    "BODLEVEL": "掉电检测电压 brown-out level",
    "BODPD": "休眠时掉电检测 brown-out detection in sleep",
    "BOOTRST": "复位后进入引导区 start in the boot section after reset",
    "BOOTSZ": "引导区大小 boot section size",
    "CFD": "时钟失效检测 clock failure detection",
    "CKDIV8": "时钟8分频 clock divided by 8",
    "CKOPT": "振荡器选项 oscillator option",
    "CKOUT": "引脚输出时钟 clock output on a pin",
    "CKSEL_SUT": "时钟源与启动时间 clock source and start-up time",
    "DWEN": "debugWIRE调试 debugWIRE debugging",
    "EESAVE": "擦除时保留EEPROM keep EEPROM through chip erase",
    "HWBE": "硬件引导引脚 hardware boot pin",
    "JTAGEN": "JTAG接口 JTAG interface",
    "LB": "存储器加密 memory lock",
    "M103C": "ATmega103兼容模式 ATmega103 compatibility mode",
    "M161C": "ATmega161兼容模式 ATmega161 compatibility mode",
    "OCDEN": "片上调试 on-chip debugging",
    "PLLCK_SUT_CKSEL": "时钟源与启动时间 clock source and start-up time",
    "PSCRB": "PSC复位行为 PSC reset behaviour",
    "PSCRVA": "PSCOUTnA复位电平 PSCOUTnA reset level",
    "PSCRVB": "PSCOUTnB复位电平 PSCOUTnB reset level",
    "RSTDISBL": "禁用复位引脚 reset pin disabled",
    "S8515C": "AT90S8515兼容模式 AT90S8515 compatibility mode",
    "S8535C": "AT90S8535兼容模式 AT90S8535 compatibility mode",
    "SELFPRGEN": "允许自编程 self-programming allowed",
    "SPIEN": "串行编程(ISP) serial programming (ISP)",
    "SUT_CKSEL": "时钟源与启动时间 clock source and start-up time",
    "WDTON": "看门狗常开 watchdog always on",
}

# One-bit fields have no value list in the reference; these say what programming them does.
ONE_BIT_MEANINGS = {
    "BODEN": ("掉电检测开启 brown-out detection on", "掉电检测关闭 brown-out detection off"),
    "CKDIV8": ("时钟8分频 clock divided by 8", "时钟不分频 clock not divided"),
    "DWEN": ("debugWIRE开启 debugWIRE on", "debugWIRE关闭 debugWIRE off"),
    "RSTDISBL": ("复位引脚作I/O reset pin used as I/O", "复位引脚有效 reset pin active"),
    "SPIEN": ("允许串行编程 serial programming allowed", "禁止串行编程 serial programming blocked"),
}
PROGRAMMED = "已编程 programmed"
UNPROGRAMMED = "未编程 unprogrammed"

DANGER = {
    ("ISP_LOST", "0"): "ISP_LOST_IF_0",
    ("ISP_LOST", "1"): "ISP_LOST_IF_1",
    ("SLOW_CLOCK", "0"): "SLOW_CLOCK_IF_0",
    ("CLOCK", "-"): "CLOCK",
    ("BOD", "-"): "BOD",
}

CLOCK_SOURCES = [  # (pattern on the source with its frequency removed, Chinese, English)
    (r"ext\. clock", "外部时钟", "external clock"),
    (r"ext\. crystal osc\.", "外部晶振", "external crystal"),
    (r"ext\. ceramic res\.", "外部陶瓷谐振器", "external ceramic resonator"),
    (r"ext\. crystal/resonator low freq\.", "外部低频晶振/谐振器", "external low-frequency crystal/resonator"),
    (r"ext\. crystal/resonator medium freq\.", "外部中频晶振/谐振器", "external medium-frequency crystal/resonator"),
    (r"ext\. crystal/resonator high freq\.", "外部高频晶振/谐振器", "external high-frequency crystal/resonator"),
    (r"ext\. full-swing crystal", "外部全摆幅晶振", "external full-swing crystal"),
    (r"full swing oscillator", "外部全摆幅振荡器", "external full-swing oscillator"),
    (r"ext\. low-freq\. crystal", "外部低频晶振", "external low-frequency crystal"),
    (r"ext\. rc osc\.", "外部RC振荡器", "external RC oscillator"),
    (r"int\. (?:128khz )?rc osc\.", "内部RC振荡器", "internal RC oscillator"),
    (r"int\. ulp osc\.", "内部超低功耗振荡器", "internal ultra-low-power oscillator"),
    (r"wd\. osc\.", "看门狗振荡器", "watchdog oscillator"),
    (r"pll clock", "PLL时钟", "PLL clock"),
    (r"int\. pll clock", "内部PLL时钟（内部RC振荡器驱动）", "internal PLL clock (from the internal RC oscillator)"),
    (r"pll clock /4", "PLL时钟/4", "PLL clock /4"),
    (r"tranceiver oscillator", "收发器振荡器", "transceiver oscillator"),
]

CLOCK_NOTES = {  # notes after the start-up time
    "crystal osc.": "晶振 crystal",
    "ceramic res.": "陶瓷谐振器 ceramic resonator",
    "int. cap.": "内部负载电容 internal load capacitors",
    "bod enabled": "掉电检测开启时 with brown-out detection on",
    "bod enable": "掉电检测开启时 with brown-out detection on",
    "fast rising power": "电源快速上升 fast-rising supply",
    "slowly rising power": "电源缓慢上升 slowly rising supply",
    "default value": None,  # the factory value is in the chip line
    "[bodlevel=111]": None,
}

LOCK_MEANINGS = [  # (pattern, meaning, flags)
    (r"^no memory lock", "不加密 no lock", ""),
    (r"^further programming disabled", "禁止再编程 further programming disabled", "W"),
    (r"^further programming and verification disabled", "禁止编程与校验 programming and verify disabled", "WR"),
]

# Clock sources that stop the chip, and ISP with it, when nothing drives the clock pins.
EXTERNAL_SOURCE = r"ext\.|full swing|tranceiver"

# A character from U+3000 on: Chinese text or punctuation, which an English text never holds.
CJK = re.compile("[\u3000-\U0010FFFF]")

unparsed = []
added_external = []
internal_plls = []
unlisted_factory = []


def fail(message):
    sys.exit("make-chip-facts: " + message)


def both(zh, en):
    """(bilingual, English) for one text: the bilingual one is the Chinese, a space, the English."""
    if not CJK.search(zh) or not en or CJK.search(en):
        fail(f"not Chinese, a space, then English: {zh!r} {en!r}")
    return f"{zh} {en}", en


def split_entry(text):
    """(bilingual, English) for a table entry "中文 english", split at its first space."""
    zh, _, en = text.partition(" ")
    return both(zh, en)


def joined(texts):
    return ", ".join(bi for bi, _ in texts), ", ".join(en for _, en in texts)


def read_table(name):
    with open(os.path.join(FACTS_DIR, name), newline="", encoding="utf-8") as file:
        return list(csv.DictReader(file, delimiter="\t"))


def catalogue_names():
    with open(os.path.join(ROOT, "data", "chip.txt"), "rb") as file:
        text = file.read().decode("ascii")
    return re.findall(r"([^|:<]+)\|[^:]*:[^|]*\|[^:]*:[^<]*<", text)


def frequency(text):
    """The frequency or range in a clock source text, and the text without it."""
    range_match = re.search(r"(\d+(?:\.\d+)?)?\s*(?:MHz)?\s*-\s*(\d+(?:\.\d+)?)?\s*MHz", text)
    if range_match:
        low, high = range_match.groups()
        if low and high:
            shown = f"{low}–{high} MHz"
        elif low:
            shown = f"≥{low} MHz"
        else:
            shown = f"≤{high} MHz"
        return shown, (text[:range_match.start()] + text[range_match.end():]).strip()
    single = re.search(r"(\d+(?:\.\d+)?)\s*(MHz|kHz)", text)
    if single:
        rest = (text[:single.start()] + text[single.end():]).replace("  ", " ").strip()
        return f"{single.group(1)} {single.group(2)}", rest
    return "", text.strip()


def clock_source(text):
    prefix_zh, prefix_en = "", ""
    compat = re.match(r"(ATtiny\d+) Comp:\s*(.*)", text)
    if compat:
        prefix_zh, prefix_en = compat.group(1) + "兼容 ", compat.group(1) + "-compatible "
        text = compat.group(2)
    shown, rest = frequency(text)
    for pattern, zh, en in CLOCK_SOURCES:
        if re.fullmatch(pattern, rest.lower()):
            tail = " " + shown if shown else ""
            return both(f"{prefix_zh}{zh}{tail}", f"{prefix_en}{en}{tail}")
    return None


def start_up(text):
    match = re.fullmatch(r"Start-up time(?: PWRDWN/RESET)?:\s*(\d+)\s*(K?)\s*(?:CK)?\s*"
                         r"(?:/\s*\d+\s*CK|\+\s*\d+\s*CK)?\s*\+?\s*(\d+(?:\.\d+)?)\s*ms", text)
    if not match:
        return None
    clocks = int(match.group(1)) * (1024 if match.group(2) else 1)
    shown = f"{clocks // 1024}K" if clocks >= 1024 and clocks % 1024 == 0 else str(clocks)
    return both("启动", f"start-up {shown} CK + {match.group(3)} ms")


def internal_pll(text):
    """A PLL clock that names no input runs from the internal RC oscillator: it needs nothing
    outside the chip, whatever the reference's external-clock list says."""
    lower = text.lower()
    return lower.startswith("pll clock") and "pll input:" not in lower


def clock_meaning(text):
    parts = [part.strip() for part in text.split(";")]
    source = clock_source(parts[0])
    if source is not None and internal_pll(text):
        source = clock_source(re.sub(r"(?i)^pll clock", "int. pll clock", parts[0]))
    if source is None:
        return None
    pieces, notes = [source], []
    for part in parts[1:]:
        if part.startswith("PLL input:"):
            input_source = clock_source(part[len("PLL input:"):].strip())
            if input_source is None:
                return None
            pieces.append((f"输入 input {input_source[0]}", f"input {input_source[1]}"))
        elif part.startswith("Start-up time"):
            shown = start_up(part)
            if shown is None:
                return None
            notes.insert(0, shown)
        elif part.lower() in CLOCK_NOTES:
            if CLOCK_NOTES[part.lower()]:
                notes.append(split_entry(CLOCK_NOTES[part.lower()]))
        else:
            return None
    return joined(pieces + notes)


def value_meaning(field, text):
    """((bilingual, English) meaning, flags) for one enumerated value, or None when no template fits."""
    lower = text.lower()
    if "CKSEL" in field:
        meaning = clock_meaning(text)
        return (meaning, "") if meaning else None
    if field == "BODLEVEL":
        level = re.search(r"at VCC\s*=\s*(\d+(?:\.\d+)?)\s*V", text)
        if level:
            return both(f"掉电检测 {level.group(1)} V", f"brown-out at {level.group(1)} V"), "B"
        if lower.startswith("brown-out detection disabled"):
            return split_entry("掉电检测关闭 brown-out detection off"), ""
        return None
    if field == "BOOTSZ":
        words = re.search(r"size\s*=\s*(\d+)\s*words", text)
        if words:
            return both(f"引导区 {words.group(1)} 字", f"boot section {words.group(1)} words"), ""
        return None
    if field == "LB":
        for pattern, meaning, flags in LOCK_MEANINGS:
            if re.match(pattern, lower):
                return split_entry(meaning), flags
        return None
    if field in ("BLB0", "BLB1"):
        zh_section, en_section = ("应用区", "application section") if field == "BLB0" else ("引导区", "boot section")
        for pattern, zh, en in ((r"^no lock", "不限制", "no restriction"),
                                (r"^lpm and spm prohibited", "禁止SPM写入与LPM读取", "no SPM writes or LPM reads"),
                                (r"^spm prohibited", "禁止SPM写入", "no SPM writes"),
                                (r"^lpm prohibited", "禁止LPM读取", "no LPM reads")):
            if re.match(pattern, lower):
                return both(f"{zh_section}{zh}", f"{en_section}: {en}"), ""
        return None
    if field in ("BODPD", "BODACT", "CFD"):
        zh_what, en_what = ("时钟失效检测", "clock failure detection") if field == "CFD" else ("掉电检测", "brown-out detection")
        states = {"disabled": ("关闭", "off"), "enabled": ("开启", "on"), "sampled": ("采样", "sampled")}
        if lower in states:
            zh, en = states[lower]
            return both(f"{zh_what}{zh}", f"{en_what} {en}"), ""
        return None
    return None


def parse_values(text):
    values = {}
    if text == "-":
        return values
    for part in text.split(" | "):
        key, _, meaning = part.partition("=")
        values[int(key, 16)] = meaning.strip()
    return values


def hex_set(text):
    return set() if text == "-" else {int(item, 16) for item in text.split()}


def field_values(chip, field, mask, row, bod_switch):
    """[(value, flags, (bilingual, English) meaning)] for one field of one chip."""
    listed = parse_values(row["values"])
    external, slow = hex_set(row["values_needing_external_clock"]), hex_set(row["values_with_very_slow_clock"])
    width_mask = mask >> ((mask & -mask).bit_length() - 1)
    for value in listed.keys() | external | slow:
        if value & ~width_mask:
            fail(f"{chip} {field}: value 0x{value:02X} lies outside mask 0x{mask:02X}")
    if not listed and width_mask == 1:
        programmed, unprogrammed = ONE_BIT_MEANINGS.get(field, (PROGRAMMED, UNPROGRAMMED))
        flags = "B" if field == "BODEN" else ""
        return [(0, flags, split_entry(programmed)), (1, "", split_entry(unprogrammed))]
    if not listed and (external or slow):
        fail(f"{chip} {field}: clock flags without values")
    factory = int(row["factory_field_value"], 16)
    result = []
    for value in sorted(listed.keys() | external | slow | {factory}):
        if value in listed:
            parsed = value_meaning(field, listed[value])
        elif value == factory:
            # Shown whenever a new chip is read, so it must say something.
            unlisted_factory.append(f"{chip} {field} 0x{value:02X}")
            parsed = (both("出厂设置(手册未列出)", "factory setting, not listed by the maker"), "")
        else:
            parsed = None
        if parsed is None:
            unparsed.append(f"{chip} {field} 0x{value:02X}: {listed.get(value, '(not listed)')}")
            parsed = (both(f"设置 0x{value:02X}", f"setting 0x{value:02X}"), "")
        meaning, flags = parsed
        if field == "BODLEVEL" and bod_switch:
            flags = flags.replace("B", "")  # the level alone does not switch detection on
        if field == "BODACT" and listed.get(value, "").lower() in ("sampled", "enabled"):
            flags += "B"
        if "CKSEL" in field and value in external and internal_pll(listed.get(value, "")):
            internal_plls.append(f"{chip} {field} 0x{value:02X}")
            external.discard(value)
        if "CKSEL" in field and value not in external and re.match(EXTERNAL_SOURCE, listed.get(value, "").lower()):
            # The reference leaves some crystal and resonator settings out of its external
            # list; the value text names the source, and missing such a warning is the worse error.
            added_external.append(f"{chip} {field} 0x{value:02X}")
            external.add(value)
        flags += ("E" if value in external else "") + ("S" if value in slow else "")
        result.append((value, flags, meaning))
    return result


def main():
    chips = {row["name"]: row for row in read_table("avr-facts.tsv")}
    fields = read_table("avr-fuse-fields.tsv")
    dangers = {}
    for row in read_table("avr-fuse-bits.tsv"):
        if row["atdf_field"] == "-":
            continue
        key = (row["name"], row["fuse"], row["atdf_field"])
        danger = DANGER.get((row["danger_class"], row["danger_when_bit_is"]), "-")
        if dangers.setdefault(key, danger) != danger:
            fail(f"{key}: bits of one field in different danger classes")

    order = catalogue_names()
    missing = [name for name in order if name not in chips]
    if missing or len(order) != len(chips):
        fail(f"chip.txt and the facts disagree: missing {missing}, {len(order)} vs {len(chips)} chips")

    groups = {}
    for name in order:
        groups.setdefault(chips[name]["signature"], []).append(name)
    for row in read_table("signature-groups.tsv"):
        if groups.get(row["signature"]) != row["chips_in_chip_txt"].split(","):
            fail(f"signature group {row['signature']} differs from the chip rows")

    per_chip = {}
    for row in fields:
        per_chip.setdefault(row["name"], []).append(row)
    layouts, layout_of = {}, {}
    for name in order:
        rows = per_chip[name]
        # Chips where a field of its own switches brown-out detection on, not the level.
        bod_switch = any(row["field"] in ("BODEN", "BODACT") for row in rows)
        lines, used = [], {}
        for row in rows:
            mask = int(row["mask"], 16)
            byte = BYTE_NAMES[row["fuse"]]
            if used.get(byte, 0) & mask:
                fail(f"{name}: fields overlap in the {byte} byte")
            used[byte] = used.get(byte, 0) | mask
            if row["field"] not in FIELD_ABOUT:
                fail(f"no description for field {row['field']}")
            danger = dangers.get((name, row["fuse"], row["field"]), "-")
            values = field_values(name, row["field"], mask, row, bod_switch)
            lines.append((byte, row["field"], mask, danger, values))
        chip = chips[name]
        for byte, column in (("low", "lfuse_used_mask"), ("high", "hfuse_used_mask"),
                             ("ext", "efuse_used_mask"), ("lock", "lock_bits_mask")):
            want = 0 if chip[column] == "-" else int(chip[column], 16)
            if used.get(byte, 0) != want:
                fail(f"{name}: the fields of the {byte} byte cover 0x{used.get(byte, 0):02X}, not 0x{want:02X}")
        key = repr(lines)
        layouts.setdefault(key, (name, lines))
        layout_of[name] = layouts[key][0]

    out = [HEADER.rstrip("\n")]
    out.append("")
    for field in sorted(FIELD_ABOUT):
        bilingual, english = split_entry(FIELD_ABOUT[field])
        out.append(f"about\t{field}\t{bilingual}\t{english}")
    # Each value text once, numbered in the order of first use: most of them recur in many
    # layouts, and the programs read the file at every start.
    meaning_numbers = {}
    for _, lines in layouts.values():
        for _, _, _, _, values in lines:
            for _, _, texts in values:
                meaning_numbers.setdefault(texts, len(meaning_numbers))
    out.append("")
    for (bilingual, english), number in meaning_numbers.items():
        out.append(f"meaning\t{number}\t{bilingual}\t{english}")
    for layout, lines in layouts.values():
        out.append("")
        for byte, field, mask, danger, values in lines:
            out.append(f"field\t{layout}\t{byte}\t{field}\t{mask:02X}\t{danger}")
            for value, flags, texts in values:
                out.append(f"value\t{layout}\t{field}\t{value:02X}\t{flags or '-'}\t{meaning_numbers[texts]}")
    out.append("")
    for name in order:
        chip = chips[name]
        modes = chip["modes"]
        out.append("\t".join([
            "chip", name, chip["signature"], chip["flash_bytes"], chip["flash_page_bytes"],
            chip["eeprom_bytes"], chip["eeprom_page_bytes"], chip["fuse_bytes"],
            chip["lfuse_default"], chip["hfuse_default"], chip["efuse_default"], chip["lock_default"],
            chip["lock_bits_mask"], modes, chip["lfuse_used_mask"], chip["hfuse_used_mask"],
            chip["efuse_used_mask"], layout_of[name]]))
    with open(OUTPUT, "w", encoding="utf-8", newline="\n") as file:
        file.write("\n".join(out) + "\n")
    for line in unparsed:
        print("generic meaning for " + line, file=sys.stderr)
    for line in unlisted_factory:
        print("factory value the maker does not list: " + line, file=sys.stderr)
    for line in added_external:
        print("needs an external clock by its text: " + line, file=sys.stderr)
    print(f"{len(internal_plls)} internal PLL settings need no external clock", file=sys.stderr)
    print(f"{OUTPUT}: {len(order)} chips, {len(layouts)} fuse layouts, "
          f"{len(unparsed)} generic meanings", file=sys.stderr)


HEADER = """\
# Kestrel chip facts: identification, memory sizes, factory fuses and the meaning of every fuse
# and lock field of the chips of chip.txt. Made by scripts/make-chip-facts.py; edit that script,
# not this file. UTF-8, one record per line, columns separated by one tab; lines starting with
# '#' and empty lines are ignored. Numbers in hex are two digits without "0x"; sizes are decimal
# bytes. Fuse bits are active low: 0 means programmed. A record refers only to records above
# it: a value to its field and meaning, a chip to its layout.
#
# about  FIELD  TEXT  ENGLISH
#   What a field is for, for every field name used below: TEXT in Chinese, a space, then
#   English, as the program shows it in its own language; ENGLISH the same in English alone, as
#   shown in every other language.
# meaning  NUMBER  TEXT  ENGLISH
#   A text of one or more values: TEXT and ENGLISH as for about. NUMBER counts the meaning
#   lines from 0 in file order.
# field  LAYOUT  BYTE  FIELD  MASK  DANGER
#   A field of fuse layout LAYOUT (a name shared by the chips with the same fields and values).
#   BYTE is low, high, ext or lock; MASK the field's bits in that byte. A field's value is its
#   bits shifted down so that the lowest bit of MASK becomes bit 0. DANGER is one of
#   ISP_LOST_IF_0 (programming it stops ISP), ISP_LOST_IF_1 (unprogramming it stops ISP),
#   CLOCK (clock source), SLOW_CLOCK_IF_0 (programming it slows the clock), BOD (brown-out
#   detection) or - (none).
# value  LAYOUT  FIELD  VALUE  FLAGS  MEANING
#   One value of a field, as shifted down; MEANING is the NUMBER of its meaning line. FLAGS is
#   - or letters: E the chip then needs an external clock or crystal, S the clock is very slow,
#   B brown-out detection is on, W further programming is disabled, R reading back (verify) is
#   disabled. A value without a line is reserved by the maker.
# chip  NAME  SIGNATURE  FLASH  FLASH_PAGE  EEPROM  EEPROM_PAGE  FUSES  LOW  HIGH  EXT  LOCK
#       LOCK_MASK  MODES  LOW_USED  HIGH_USED  EXT_USED  LAYOUT
#   SIGNATURE is three bytes as six hex digits; chips with the same signature form a group
#   that reading the signature alone cannot split. FUSES is the number of fuse bytes (2 or 3);
#   LOW..LOCK are the factory values, EXT and EXT_USED are - on chips with two fuse bytes.
#   LOCK_MASK and the *_USED masks give the bits that mean something; the others may read back
#   as 0 or 1. MODES lists ISP, HVPP and HVSP, comma separated.
"""

if __name__ == "__main__":
    main()
