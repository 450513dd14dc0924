#!/usr/bin/env python3
"""Checks the embedded language pack resources/lang.xml.

Usage: check_lang_pack.py [path/to/lang.xml]
Exit status 0 when every check passes, 1 otherwise (each failure is printed).
Standard library only.
"""
import os
import re
import sys
import unicodedata
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_PATH = os.path.join(HERE, "..", "..", "resources", "lang.xml")

# The languages, in the order the Language menu offers them.
LANGUAGES = [
    ("eng", "English", "English"),
    ("bel", "Belarusian", "Беларускі"),
    ("zhs", "Chinese_Simplified", "简体中文"),
    ("deu", "German", "Deutsch"),
    ("ell", "Greek", "Ελληνικά"),
    ("fra", "French", "Français"),
    ("ita", "Italian", "Italiano"),
    ("jpn", "Japanese", "日本語"),
    ("kor", "Korean", "한국어"),
    ("hun", "Hungarian", "Magyar"),
    ("rus", "Russian", "Русский"),
    ("tur", "Turkish", "Türkçe"),
    ("ara", "Arabic", "عربي (Partial)"),
    ("ind", "Indonesian", "Bahasa Indonesia (Partial)"),
    ("bul", "Bulgarian", "Български (Partial)"),
    ("zht", "Chinese_Traditional", "繁體中文 (Partial)"),
    ("cze", "Czech", "Cestina (Partial)"),
    ("cpn", "Serbian_Cyrillic", "Српски (Partial)"),
    ("dan", "Danish", "Dansk (Partial)"),
    ("est", "Estonian", "Eesti (Partial)"),
    ("spa", "Spanish", "Español (Partial)"),
    ("hrv", "Croatian", "Hrvatski (Partial)"),
    ("nld", "Dutch", "Nederlands (Partial)"),
    ("per", "Persian", "فارسی (Partial)"),
    ("pol", "Polish", "Polski (Partial)"),
    ("bra", "Portuguese_Brazilian", "Portugus Brasileiro (Partial)"),
    ("rom", "Romanian", "Română (Partial)"),
    ("srp", "Serbian_Latin", "Srpski (Partial)"),
    ("slk", "Slovak", "Slovensky (Partial)"),
    ("fin", "Finnish", "Suomeksi (Partial)"),
    ("swe", "Swedish", "Svenska (Partial)"),
    ("ukr", "Ukrainian", "Українська (Partial)"),
    ("vec", "Venetian", "Vèneto (vec-to) (Partial)"),
    # the e with circumflex and a combining dot below, as the name is kept
    ("vie", "Vietnamese", "Vi\u00ea\u0323t Nam (Partial)"),
]
TAGS = [t for t, _, _ in LANGUAGES]
PARTIAL = {t for t, _, n in LANGUAGES if n.endswith(" (Partial)")}
FULL = [t for t in TAGS[1:] if t not in PARTIAL]

SITE = "https://tintery.example/"

# Every entry with its English text exactly as stored in the file
# (character and entity references undecoded).
TRANSLATED = {
    105000: "Support Kelto via Donation",
    107000: "More Software from Kelto (online)",
    400010: "Version:",
    400020: "Last Updated:",
    400030: "OS:",
    400080: "URL:",
    400100: "Version Information",
    400110: "Is this freeware useful?",
    400120: "Close",
    500089: "Is this freeware useful?",
    500090: "Please support us via donation.",
    609000: "View",
    609100: "Keep on Top",
    609200: "Right-Click Transform",
    609300: "Easy Drag",
    609350: "Close By Mouse-Wheel Click",
    609400: "Show/Hide",
    609420: "\"Keep on Top\" Check Box",
    609430: "Advanced/Minimized Button",
    609440: "Status Bar",
    609450: "Ready",
    609460: "Done!",
    700000: "Language",
    700001: "Translate? (online)",
    701000: "About",
    701100: "Version Information",
    701200: "Software Page (online)",
    701300: "Tell Developers (online)",
    1000000: "Keep on Top",
    1001000: "Drop Box",
    1002000: "Please drop image file(s) here!",
    1003000: "(.jpg, .gif, .png, .bmp, .ico)",
    1004000: "Convert to:&#160;",
    1005000: "Advanced Options &gt;&gt;",
    1006000: "&lt;&lt; Minimize",
    1101000: "Hue",
    1102000: "Saturation",
    1103000: "Brightness",
    1104000: "All (HSV)",
    1105000: "How many images to create?",
    1106000: "Up to&#160;",
    1107000: "&#160;Variants",
    1108000: "Range",
    1109000: "Maximum Range",
    1110000: "Limited Range",
    2010000000: "About",
    2010001000: "Close",
}
# Language-independent entries: only the English element, every language
# falls back to it.
CONSTANT = {
    100000: "tintery.example",
    101000: SITE,
    106000: SITE + "donate/",
    108000: SITE + "software/",
    108500: SITE + "translate/",
    300000: "Kelto Tintery",
    500000: "Kelto Tintery",
    500002: "tintery",
    500003: SITE + "software/tintery/",
    500004: SITE + "software/tintery/feedback/",
    500006: SITE + "software/tintery/versions/",
    500010: "1.25",
    500020: "2013/08/14",
    500030: "Windows XP/2003/Vista",
    500100: SITE + "donate/",
    500101: "",
    500102: "",
}
ADDRESSES = {101000, 106000, 108000, 108500, 500003, 500004, 500006, 500100}

# Texts of the main window and its menus.
VISIBLE = {609000, 609100, 609200, 609300, 609350, 609450, 609460, 700000,
           700001, 701000, 701100, 701200, 701300, 107000, 1000000, 1001000,
           1002000, 1003000, 1004000, 1005000, 1006000, 1101000, 1102000,
           1103000, 1105000, 1106000, 1107000, 1108000, 1109000, 1110000}

# Entries that partly translated languages leave to the English text
# (the About window, the donation prompt and the unused "All (HSV)").
PARTIAL_FALLBACK = {400010, 400020, 400030, 400080, 400100, 400110, 400120,
                    500089, 500090, 1104000, 2010000000, 2010001000}

# Translations allowed to equal the English text: the list of file
# extensions is the same in every language; French "Saturation" and German
# "Version:" are the words those languages really use.
SAME_AS_ENGLISH = {(tag, 1003000) for tag in TAGS[1:]} | {
    ("fra", 1102000),
    ("deu", 400010),
}

# Entries that must hold the same text within one language, as in English.
SAME_WITHIN_LANGUAGE = [(609100, 1000000), (701100, 400100),
                        (701000, 2010000000), (400120, 2010001000),
                        (400110, 500089)]

# References the program's XML reader decodes in text content.
TEXT_REFS = {"&amp;": "&", "&lt;": "<", "&gt;": ">", "&#13;": "\r",
             "&#10;": "\n", "&#160;": " "}
CJK_COLON = "\uff1a"

failures = []


def fail(msg):
    failures.append(msg)


def program_text(raw):
    """The text the program's own XML reader yields for stored content."""
    i = 0
    while i < len(raw) and raw[i] in "\t\n\r ":
        i += 1
    raw = raw[i:]
    j = len(raw)
    while j > 0 and raw[j - 1] in "\t\n\r \u3000":
        j -= 1
    raw = raw[:j]
    return re.sub(r"&(amp|lt|gt|#13|#10|#160);",
                  lambda m: TEXT_REFS[m.group(0)], raw)


class Node:
    def __init__(self, name):
        self.name, self.attrs, self.children = name, [], []

    def attr(self, name):
        for k, v in self.attrs:
            if k.lower() == name.lower():
                return v
        return None


def read_node(s, pos=0):
    """The program's own reader: plain subset of XML, no error reporting."""
    ws = "\t\n\r "
    pos = s.find("<", pos)
    if pos < 0:
        return None, len(s)
    pos += 1
    while pos < len(s) and s[pos] in ws:
        pos += 1
    if s.startswith("!", pos):
        end = s.find("-->", pos)
        return Node("!--"), (len(s) if end < 0 else end + 3)
    start = pos
    while pos < len(s) and s[pos] not in ws + "/>":
        pos += 1
    node = Node(s[start:pos])
    while pos < len(s):
        while pos < len(s) and s[pos] in ws:
            pos += 1
        if pos >= len(s) or s[pos] in "/>":
            break
        start = pos
        while pos < len(s) and s[pos] not in "= ":
            pos += 1
        name = s[start:pos]
        q1 = s.find('"', pos)
        q2 = s.find('"', q1 + 1) if q1 >= 0 else -1
        if q1 < 0 or q2 < 0:
            return node, len(s)
        node.attrs.append((name, s[q1 + 1:q2]))
        pos = q2 + 1
    if pos >= len(s):
        return node, pos
    if s[pos] == "/":
        end = s.find(">", pos)
        return node, (len(s) if end < 0 else end + 1)
    pos += 1

    def text_run(pos):
        while pos < len(s) and s[pos] in ws:
            pos += 1
        if pos < len(s) and s[pos] != "<":
            end = s.find("<", pos)
            end = len(s) if end < 0 else end
            node.attrs.append(("", s[pos:end]))
            pos = end
        return pos

    pos = text_run(pos)
    while pos < len(s) and not s.startswith("</", pos):
        child, pos = read_node(s, pos)
        if child is not None and child.name != "!--":
            node.children.append(child)
        pos = text_run(pos)
    end = s.find(">", pos)
    return node, (len(s) if end < 0 else end + 1)


def load_pack(text):
    """Languages and texts as the program loads them, fallbacks included."""
    root, _ = read_node(text)
    find = lambda n, name: next((c for c in n.children
                                 if c.name.lower() == name), None)
    langs, texts = [], {}
    lnode = find(root, "languages") if root else None
    for e in (lnode.children if lnode else []):
        if e.name.lower() == "entry":
            langs.append(tuple(e.attr(a) or "" for a in
                               ("tagName", "engName", "trueName")))
            texts[len(langs) - 1] = {}
    enode = find(root, "entries") if root else None
    for e in (enode.children if enode else []):
        if e.name.lower() != "entry":
            continue
        eid = int(re.match(r"\d*", e.attr("id") or "").group(0) or -1)
        fallback = ""
        for n, c in enumerate(e.children):
            k = next((i for i, l in enumerate(langs)
                      if l[0].lower() == c.name.lower()), None)
            if k is None:
                continue
            value = program_text(c.attr("") or "")
            texts[k].setdefault(eid, value)
            if n == 0:
                fallback = value
        for k in texts:
            texts[k].setdefault(eid, fallback)
    return langs, texts


def width(text):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1
               for c in text)


def check_bytes(data):
    if data.startswith(b"\xef\xbb\xbf"):
        fail("the file starts with a byte-order mark")
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        fail("not valid UTF-8: %s" % e)
        return None
    if not text.endswith("\r\n"):
        fail("the last line does not end in CR LF")
    for n, line in enumerate(text.split("\r\n")[:-1], 1):
        if "\r" in line or "\n" in line:
            fail("line %d has a line end other than CR LF" % n)
        if line != line.rstrip():
            fail("line %d has trailing white space" % n)
    if not text.startswith("<lang>"):
        fail("the file must start with the root element <lang> "
             "(no declaration, comment or white space before it)")
    if "<?" in text or "<![CDATA[" in text or "<!DOCTYPE" in text:
        fail("declarations, processing instructions, document types and "
             "CDATA are not understood by the program's reader")
    return text


def raw_contents(text):
    """Stored (undecoded) translations: {id: {tag: raw text}} in file order."""
    out = {}
    for m in re.finditer(r'<entry id="(\d+)">(.*?)</entry>', text, re.S):
        eid = int(m.group(1))
        kids = {}
        for k in re.finditer(r"<([a-z]{3})>([^<]*)</\1>", m.group(2)):
            kids.setdefault(k.group(1), k.group(2))
        out[eid] = kids
    return out


def check_tree(root, raw):
    if root.tag != "lang":
        fail("root element is <%s>, expected <lang>" % root.tag)
    kids = [c.tag for c in root]
    if kids != ["languages", "entries"]:
        fail("root children are %s, expected languages, entries" % kids)
    langs = root.find("languages")
    entries = root.find("entries")
    if langs is None or entries is None:
        return

    # Languages.
    got = [(e.get("tagName"), e.get("engName"), e.get("trueName"))
           for e in langs]
    if [e.tag for e in langs] != ["entry"] * len(langs):
        fail("languages holds elements other than entry")
    if len(got) != 34:
        fail("%d languages, expected 34" % len(got))
    for n, (want, have) in enumerate(zip(LANGUAGES, got)):
        if want != have:
            fail("language %d is %r, expected %r" % (n, have, want))
    for e in langs:
        if len(e) or (e.text or "").strip():
            fail("language entry %s is not empty" % e.get("tagName"))

    # Entries: ids, order, English texts.
    want_ids = sorted(set(TRANSLATED) | set(CONSTANT))
    ids = []
    for e in entries:
        if e.tag != "entry":
            fail("entries holds <%s>" % e.tag)
            continue
        ids.append(int(e.get("id", "-1")))
    if ids != want_ids:
        fail("entry ids %s differ from the expected %s (missing %s, extra %s)"
             % (len(ids), len(want_ids), sorted(set(want_ids) - set(ids)),
                sorted(set(ids) - set(want_ids))))
    if len(set(ids)) != len(ids):
        fail("duplicate entry ids")

    for e in entries:
        eid = int(e.get("id", "-1"))
        tags = [c.tag for c in e]
        if not tags or tags[0] != "eng":
            fail("%d: the first translation is not English" % eid)
        if len(set(tags)) != len(tags):
            fail("%d: a language appears twice" % eid)
        unknown = [t for t in tags if t not in TAGS]
        if unknown:
            fail("%d: unknown language elements %s" % (eid, unknown))
        order = [TAGS.index(t) for t in tags if t in TAGS]
        if order != sorted(order):
            fail("%d: translations are not in the order of the language list"
                 % eid)
        note = (e.text or "").strip()
        if not note:
            fail("%d: no note for translators" % eid)
        for c in e:
            if len(c):
                fail("%d/%s: translation has child elements" % (eid, c.tag))

        r = raw.get(eid, {})
        english = TRANSLATED.get(eid, CONSTANT.get(eid))
        if english is None:
            continue
        if r.get("eng") != english:
            fail("%d: English text %r, expected %r"
                 % (eid, r.get("eng"), english))

        if eid in CONSTANT:
            if tags != ["eng"]:
                fail("%d: language-independent entry carries translations %s"
                     % (eid, tags[1:]))
            continue

        # Coverage.
        for tag in TAGS[1:]:
            needed = not (tag in PARTIAL and eid in PARTIAL_FALLBACK)
            if needed and tag not in r:
                fail("%d: no %s text" % (eid, tag))
            if not needed and tag in r:
                fail("%d: %s carries a text the partial set leaves to English"
                     % (eid, tag))

        eng_text = program_text(english)
        for tag, stored in r.items():
            where = "%d/%s" % (eid, tag)
            # Escaping: only the references the reader decodes, no raw
            # markup characters.
            for m in re.finditer(r"&[^;&\s]*;?", stored):
                if m.group(0) not in TEXT_REFS:
                    fail("%s: reference %r is not decoded by the reader"
                         % (where, m.group(0)))
            if ">" in stored:
                fail("%s: a raw '>' must be written as &gt;" % where)
            if stored != stored.strip() or stored.endswith("\u3000"):
                fail("%s: literal leading or trailing white space would be "
                     "dropped; use &#160;" % where)
            value = program_text(stored)
            if tag == "eng":
                continue
            if not value.strip():
                fail("%s: empty translation" % where)
            if unicodedata.normalize("NFC", value) != value:
                fail("%s: not in Unicode NFC" % where)
            if any(unicodedata.category(ch) == "Cc" for ch in value):
                fail("%s: control character" % where)
            if value == eng_text and (tag, eid) not in SAME_AS_ENGLISH:
                fail("%s: identical to the English text %r" % (where, value))
            if value != eng_text and (tag, eid) in SAME_AS_ENGLISH:
                fail("%s: listed as identical to English but is %r"
                     % (where, value))
            if eid in VISIBLE:
                limit = max(2 * width(eng_text), width(eng_text) + 16)
                if width(value) > limit:
                    fail("%s: %r is too long for the small window "
                         "(%d columns, at most %d)"
                         % (where, value, width(value), limit))
            # Spacing and arrows kept as in English.
            if eid == 1004000 and not (stored.endswith("&#160;")
                                       or stored.endswith(CJK_COLON)):
                fail("%s: must end with &#160; (or a full-width colon)"
                     % where)
            if eid == 1106000 and not stored.endswith("&#160;"):
                fail("%s: must end with &#160;" % where)
            if eid == 1107000 and not stored.startswith("&#160;"):
                fail("%s: must start with &#160;" % where)
            if eid == 1005000 and not stored.endswith(" &gt;&gt;"):
                fail("%s: must end with ' &gt;&gt;'" % where)
            if eid == 1006000 and not stored.startswith("&lt;&lt; "):
                fail("%s: must start with '&lt;&lt; '" % where)

    # Consistency inside each language.
    for tag in TAGS:
        def text(eid):
            s = raw.get(eid, {}).get(tag)
            return None if s is None else program_text(s)
        for a, b in SAME_WITHIN_LANGUAGE:
            ta, tb = text(a), text(b)
            if ta is not None and tb is not None and ta != tb:
                fail("%s: %d %r and %d %r should be the same text"
                     % (tag, a, ta, b, tb))
        box, item = text(1000000), text(609420)
        if box and item and box not in item:
            fail("%s: 609420 %r does not name the check box %r"
                 % (tag, item, box))

    # Web addresses: one placeholder site.
    for eid in ADDRESSES:
        s = raw.get(eid, {}).get("eng", "")
        if not s.startswith(SITE):
            fail("%d: address %r is not under %s" % (eid, s, SITE))

    # Venetian texts use the small l with bar that older systems replace.
    if not any("\u019a" in s for s in
               (raw.get(eid, {}).get("vec", "") for eid in TRANSLATED)):
        fail("vec: no text holds U+019A")


def check_program_view(text, raw):
    langs, texts = load_pack(text)
    if langs != LANGUAGES:
        fail("the program's reader sees languages %r" % (langs,))
        return
    ids = set(TRANSLATED) | set(CONSTANT)
    for k, (tag, _, _) in enumerate(langs):
        if set(texts[k]) != ids:
            fail("the program's reader gives %s %d entries, expected %d"
                 % (tag, len(texts[k]), len(ids)))
        for eid in ids:
            stored = raw.get(eid, {})
            want = program_text(stored.get(tag, stored.get("eng", "")))
            if texts[k].get(eid) != want:
                fail("%d/%s: the program's reader yields %r, expected %r"
                     % (eid, tag, texts[k].get(eid), want))


def standard_text(raw):
    """Stored content decoded as any XML reader decodes it."""
    return re.sub(r"&(amp|lt|gt|#13|#10|#160);",
                  lambda m: {"&#160;": "\u00a0"}.get(m.group(0),
                                                    TEXT_REFS[m.group(0)]),
                  raw)


def check_raw_matches_tree(root, raw):
    entries = root.find("entries")
    for e in (entries if entries is not None else []):
        eid = int(e.get("id", "-1"))
        tree = {c.tag: (c.text or "") for c in e}
        mine = {t: standard_text(v) for t, v in raw.get(eid, {}).items()}
        if tree != mine:
            fail("%d: the stored texts could not be read back reliably" % eid)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_PATH
    with open(path, "rb") as f:
        data = f.read()
    text = check_bytes(data)
    if text is not None:
        try:
            root = ET.fromstring(data)
        except ET.ParseError as e:
            fail("not well-formed: %s" % e)
        else:
            raw = raw_contents(text)
            check_tree(root, raw)
            check_raw_matches_tree(root, raw)
            check_program_view(text, raw)
    for msg in failures:
        print("FAIL:", msg)
    if failures:
        print("%d problem(s) in %s" % (len(failures), path))
        return 1
    print("OK: %s" % os.path.normpath(path))
    return 0


if __name__ == "__main__":
    sys.exit(main())
