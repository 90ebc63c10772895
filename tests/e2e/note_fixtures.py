#!/usr/bin/env python3
"""Writes vellumo-db import documents with notes that open at program start.

  note_fixtures.py appearances PROGRAM -> own block, note scheme, default scheme
  note_fixtures.py legacy       -> legacy fields, 0 / 10 / 4096 items, a hidden note
  note_fixtures.py timing N     -> one note of N items opened at start
  note_fixtures.py items DIR    -> notes whose items type, paste, run and open (items_e2e.sh)
  note_fixtures.py measure      -> a 100-character sequence and 20 idle notes (measure-typing.sh)
  note_fixtures.py editor       -> two plain items for the item editor (editor_e2e.sh)
  note_fixtures.py layout       -> key and character typing of "yzß" (layout_e2e.sh)
  note_fixtures.py triggers     -> one note per pop-up trigger and one with a hotkey (triggers_e2e.sh)
  note_fixtures.py drag DIR     -> a note to drop on, two to drag between, two closed ones (drag_e2e.sh)
  note_fixtures.py sync X PW    -> one synced note at x = X with sync password PW (sync_e2e.sh)

Every note remembers its position, so a screenshot can be checked at known
places, and stays open when the pointer is elsewhere (NoAutoClose).  Colours are COLORREF values (0x00BBGGRR); the checks in
shell_e2e.sh read the same constants from `colours`.
"""
import json
import struct
import sys

AT_START = 0x8000
REMEMBER_POSITION = 0x04
NO_AUTO_CLOSE = 0x08
COLUMN_MAJOR, TEXT_RIGHT = 0x1, 0x2
NO_ICON_TEXT = 0x20

# name -> (title bar, background, border, scroll thumb) as 0xRRGGBB for the checks
colours = {
    "own": (0xC03030, 0xFFF8D0, 0x2040C0, 0x30A030),
    "scheme": (0x3060C0, 0xE0F0FF, 0x000000, 0xC06000),
    "default": (0x30A050, 0xE8FFE8, 0x800080, 0x000000),
}


def colorref(rgb):
    r, g, b = (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF
    return r | (g << 8) | (b << 16)


def block(title_bar, colour_set, layout, behaviour, item_width, item_height, icon_size):
    title, background, border, scrollbar = colours[colour_set]
    b = bytearray(192)
    struct.pack_into("<HHHHHHHH", b, 0, title_bar, 3, icon_size, layout, item_height, item_width, 255, 255)
    struct.pack_into("<I", b, 16, behaviour | REMEMBER_POSITION | NO_AUTO_CLOSE)
    struct.pack_into("<IIIIIII", b, 20, colorref(title), colorref(0xFFFFFF), colorref(background),
                     colorref(0xFFA060), colorref(scrollbar), colorref(border), colorref(0x000000))
    struct.pack_into("<hh", b, 48, 12, 12)
    struct.pack_into("<I", b, 116, colorref(0xFFFFFF))
    return b.hex().upper()


def items(count, prefix="项目", program="C:\\windows\\notepad.exe"):
    contents = ["<run>" + program, "纯文本", "<open>1", "<cmd>dir", "<v>粘贴"]
    return [{"id": i + 1, "title": "%03d|%s%d" % (i + 1, prefix, i + 1), "content": contents[i % len(contents)]}
            for i in range(count)]


def note(note_id, name, x, y, width, height, item_list, **extra):
    fields = {"WindowX": x, "WindowY": y, "WindowWidth": width, "WindowHeight": height,
              "ItemIdCounter": len(item_list)}
    fields.update(extra.pop("fields", {}))
    n = {"id": note_id, "name": name, "fields": fields, "triggers": AT_START, "items": item_list}
    n.update(extra)
    return n


def appearances(program):
    return {
        "format": "vellumo-db export", "version": 1,
        "schemes": {"蓝色": block(20, "scheme", COLUMN_MAJOR, 0, 60, 60, 32),
                    "绿色": block(16, "default", TEXT_RIGHT, NO_ICON_TEXT, 120, 24, 16)},
        "defaultScheme": "绿色",
        "notes": [
            note(1, "自有外观", 20, 20, 220, 200, items(10, program=program),
                 ownAppearance=block(24, "own", TEXT_RIGHT, 0, 120, 24, 16)),
            note(2, "方案外观", 300, 20, 220, 200, items(10), schemeName="蓝色"),
            note(3, "默认方案", 580, 20, 220, 200, items(10)),
        ],
    }


def legacy():
    legacy_fields = {"LegacyRememberPosition": 1, "LegacyNoAutoClose": 1}
    return {
        "format": "vellumo-db export", "version": 1, "schemes": {},
        "notes": [
            note(1, "旧字段", 20, 20, 220, 200, items(10),
                 fields=dict(legacy_fields, LegacyTextRight=1, LegacyItemWidth=120, LegacyItemHeight=24,
                             LegacyIconSize=16)),
            note(2, "空便利贴", 300, 20, 160, 120, [], fields=legacy_fields),
            note(3, "大便利贴", 500, 20, 300, 400, items(4096), fields=legacy_fields),
            note(4, "!隐藏", 850, 20, 160, 160, items(3), fields=legacy_fields),
        ],
    }


def items_notes(directory):
    """Note 1 (one column of 24-pixel rows at 20,20) holds one item of each
    kind; note 3 hides when left alone; note 5 has its own look and pages."""
    windows_dir = "Z:" + directory.replace("/", "\\")
    contents = [
        ("type", "<a>ab<5h>c"),
        ("cjk", "<a>中文输入"),
        ("crlf", "<a>x\r\ny\tz<>after the comment"),
        ("selectall", "<A><cd>a<cu>"),
        ("paste", "<v>Hello"),
        ("long", "<a>" + "0123456789" * 20),
        # Still running two seconds after its file appears, while the test
        # looks for a console window.
        ("cmd", "<cmd>echo done> " + windows_dir + "\\cmd-out.txt & ping -n 3 127.0.0.1 > nul"),
        ("open", "<open>3,0,4"),
        ("OPEN", "<OPEN>5"),
        ("run", "<run>" + windows_dir + "\\letter.vdoc"),
        ("plain", "just text"),
    ]
    first = [{"id": i + 1, "title": "%02d|%s" % (i + 1, name), "content": content}
             for i, (name, content) in enumerate(contents)]
    hiding = block(20, "scheme", 0, 0, 180, 24, 16)
    hiding_bytes = bytearray.fromhex(hiding)
    struct.pack_into("<I", hiding_bytes, 16, REMEMBER_POSITION)  # hides when left alone
    return {
        "format": "vellumo-db export", "version": 1, "schemes": {},
        "notes": [
            note(1, "运行", 20, 20, 300, 420, first,
                 ownAppearance=block(24, "own", TEXT_RIGHT | 0, 0, 280, 24, 16)),
            dict(note(3, "自动隐藏", 400, 20, 200, 150, items(3)), triggers=0,
                 ownAppearance=hiding_bytes.hex().upper()),
            dict(note(4, "不该打开", 400, 300, 200, 150, items(3)), triggers=0),
            dict(note(5, "翻页", 700, 20, 200, 150, items(40)), triggers=0,
                 ownAppearance=block(20, "default", TEXT_RIGHT, 0, 180, 24, 16)),
        ],
    }


def measure():
    """Note 1 holds a 100-character sequence; notes 2 to 21 are only open."""
    pace = [{"id": 1, "title": "01|pace", "content": "<a>" + "abcdefghij" * 10}]
    look = block(20, "own", TEXT_RIGHT, 0, 160, 24, 16)
    notes = [note(1, "节奏", 20, 20, 200, 100, pace, ownAppearance=look)]
    for i in range(20):
        notes.append(note(i + 2, "空闲%d" % (i + 1), 240 + (i % 5) * 200, 20 + (i // 5) * 150, 180, 130,
                          items(5), ownAppearance=look))
    return {"format": "vellumo-db export", "version": 1, "schemes": {}, "notes": notes}


def triggers():
    """One note per trigger, each at a place of its own and kept open."""
    look = block(20, "own", TEXT_RIGHT, 0, 160, 24, 16)
    bit = lambda n: 1 << n
    places = [
        (1, "左边触发", bit(7), {}),
        (2, "左上角触发", bit(4), {}),
        (3, "顺时针触发", bit(2), {}),
        (4, "右边加Ctrl", bit(8) | bit(13), {}),
        (5, "下边触发", bit(10), {}),
        (6, "上边触发", bit(5), {}),
        (7, "热键打开", 0, {"Hotkey": 0x0377}),
    ]
    notes = []
    for i, (note_id, name, flags, fields) in enumerate(places):
        n = note(note_id, name, 300 + (i % 3) * 220, 200 + (i // 3) * 150, 200, 120, items(2), ownAppearance=look,
                 fields=fields)
        n["triggers"] = flags
        notes.append(n)
    return {"format": "vellumo-db export", "version": 1, "schemes": {}, "notes": notes}


def layout():
    """Key mode and character mode on a German keyboard (y and z swapped)."""
    look = block(24, "own", TEXT_RIGHT, 0, 280, 24, 16)
    typed = [{"id": 1, "title": "01|keys", "content": "<A>yzß"}, {"id": 2, "title": "02|chars", "content": "<a>yzß"}]
    return {"format": "vellumo-db export", "version": 1, "schemes": {},
            "notes": [note(1, "布局", 20, 20, 300, 200, typed, ownAppearance=look)]}


def editor():
    """Note 1 with two plain items and room for new ones, kept open."""
    look = block(24, "own", TEXT_RIGHT, 0, 280, 24, 16)
    plain = [{"id": 1, "title": "01|甲", "content": "first"}, {"id": 2, "title": "02|乙", "content": "second"}]
    return {"format": "vellumo-db export", "version": 1, "schemes": {},
            "notes": [note(1, "编辑", 20, 20, 300, 200, plain, ownAppearance=look)]}


def drag(directory):
    """Note 1 takes drops: a program item, an item opening the closed notes
    12 and 15, a plain one.  Items are dragged between notes 2 and 3.  All
    three are one column of 24-pixel rows below a 24-pixel title bar."""
    windows_dir = "Z:" + directory.replace("/", "\\")
    look = block(24, "own", TEXT_RIGHT, 0, 280, 24, 16)
    drop_on = [{"id": 1, "title": "01|记录", "content": "<run>" + windows_dir + "\\record.exe|--ignored<>starts it"},
               {"id": 2, "title": "02|打开", "content": "<open>12,15"},
               {"id": 3, "title": "03|普通", "content": "plain"}]
    first = [{"id": i + 1, "title": "%02d|%s" % (i + 1, name), "content": "<v>" + name}
             for i, name in enumerate(["一", "二", "三", "四"])]
    second = [{"id": 1, "title": "01|子", "content": "<v>子"}]
    return {"format": "vellumo-db export", "version": 1, "schemes": {},
            "notes": [note(1, "拖入", 20, 20, 300, 300, drop_on, ownAppearance=look),
                      note(2, "甲窗", 400, 20, 300, 300, first, ownAppearance=look),
                      note(3, "乙窗", 750, 20, 300, 300, second, ownAppearance=look),
                      dict(note(12, "十二", 20, 420, 300, 200, []), triggers=0),
                      dict(note(15, "十五", 400, 420, 300, 200, []), triggers=0)]}


def synced(x, password, items_list=()):
    """Note 1, named 同步, synced under one sync ID, tall enough for ten rows."""
    look = block(24, "own", TEXT_RIGHT, 0, 280, 24, 16)
    return {"format": "vellumo-db export", "version": 1, "schemes": {},
            "notes": [note(1, "同步", x, 20, 300, 320, list(items_list), ownAppearance=look,
                           syncId="e2e-共享", syncPassword=password)]}


def timing(count):
    return {"format": "vellumo-db export", "version": 1, "schemes": {},
            "notes": [note(1, "计时", 100, 100, 300, 400, items(count), fields={"LegacyRememberPosition": 1, "LegacyNoAutoClose": 1})]}


if __name__ == "__main__":
    kind = sys.argv[1]
    if kind == "appearances":
        document = appearances(sys.argv[2])
    elif kind == "editor":
        document = editor()
    elif kind == "drag":
        document = drag(sys.argv[2])
    elif kind == "sync":
        document = synced(int(sys.argv[2]), sys.argv[3])
    elif kind == "layout":
        document = layout()
    elif kind == "triggers":
        document = triggers()
    elif kind == "measure":
        document = measure()
    elif kind == "items":
        document = items_notes(sys.argv[2])
    elif kind == "legacy":
        document = legacy()
    else:
        document = timing(int(sys.argv[2]))
    json.dump(document, sys.stdout, ensure_ascii=False, indent=1)
