#!/usr/bin/env python3
"""Writes a pseudo-translation of Airlark's texts: every word 40 % longer, in letters a real
language might use, so that the layout test sees windows as a longer language would fill them.

    pseudo_translation.py airlark.ts pseudo.ts
"""
import math
import re
import sys
import xml.etree.ElementTree as ElementTree

ACCENTED = str.maketrans("aeiouycnAEIOUYCN", "äéîöüÿçñÄÉÎÖÜŸÇÑ")
# Placeholders (%1, %L2, %n) and the mnemonic marker stay as they are; words grow.
TOKEN = re.compile(r"(%L?\d+|%n|&&|&)|([^\W\d_]+)")


def lengthen(text):
    def grow(match):
        if match.group(1):
            return match.group(1)
        word = match.group(2)
        extra = math.ceil(len(word) * 0.4)
        return word + (word * 2)[:extra].lower().translate(ACCENTED)

    return TOKEN.sub(grow, text)


def main(source, target):
    tree = ElementTree.parse(source)
    root = tree.getroot()
    root.set("language", "xx")
    for message in root.iter("message"):
        translation = message.find("translation")
        translation.attrib.clear()
        translation.text = lengthen(message.findtext("source"))
    tree.write(target, encoding="utf-8", xml_declaration=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
