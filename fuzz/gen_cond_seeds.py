#!/usr/bin/env python3
"""Writes the seeds of fuzz_cond into corpus/cond.

Each seed is one control byte (bit 0: the compiled-in names table, else the target's own
small table; bits 1-3: the source buffer's capacity; bits 4-6: the token buffer size)
followed by a condition text."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Conditions over the target's own table (items Duplex, Staple, Copies, the non-operand
# Dlg; values On, Off, Long, Big; the earlier Judge J1).
OWN = {
    "eq": "Duplex == On",
    "and_or": "Duplex == On && Staple != Off || Copies > 10",
    "groups": "(Duplex == On) && (Staple == Long || Copies <= 70000)",
    "not_group": "Duplex && (! Staple)",
    "not_pending": "Duplex && ! Staple",
    "judge": "J1 || (J1 && Copies >= 2)",
    "nested": "((((((((Duplex))))))))",
    "unbalanced": "(Duplex == On",
    "close_only": "Duplex == On)",
    "non_operand": "Dlg == On",
    "unknown": "Nothing == On",
    "bad_op": "Duplex =!= On",
    "brace_end": "Duplex == On { tail",
    "two_operands": "Duplex On",
    "empty": "",
    "minus": "Copies > -1",
    "long_word": "Duplex == " + "A" * 300,
}
# Conditions over the compiled-in names table.
TABLE = {
    "paper": "KPD_IDC_PAPER_CHOICE_PAPERSIZE == IDS_PAPERSIZE_A4 || KPD_IDC_PAPER_CHOICE_PAPERSIZE == IDS_PAPERSIZE_A3",
    "duplex": "KPD_IDC_EDIT_CHOICE_DUPLEX_TYPE != IDS_DUPLEX_1 && (KPD_IDC_PAPER_EDIT_COPIES > 1)",
    "dialog": "KPD_IDD_SETUP == 1",
}


def write(name, control, text):
    with open(os.path.join(HERE, "corpus", "cond", name + ".txt"), "wb") as f:
        f.write(bytes([control]) + text.encode("latin-1"))


def main():
    os.makedirs(os.path.join(HERE, "corpus", "cond"), exist_ok=True)
    for i, (name, text) in enumerate(sorted(OWN.items())):
        write("own_" + name, ((i % 8) << 1) | ((i * 3 % 8) << 4), text)
    for i, (name, text) in enumerate(sorted(TABLE.items())):
        write("table_" + name, 1 | ((i % 8) << 1) | (7 << 4), text)
    # Deep nesting and many operands: the limits of the check.
    write("own_deep_groups", 7 << 1 | 7 << 4, "(" * 70 + "Duplex" + ")" * 70)
    write("own_many_operands", 7 << 1 | 7 << 4, "(Duplex && " * 130 + "On" + ")" * 130)
    write("own_chain", 2 << 1 | 7 << 4, " && ".join(["Copies"] * 200))


if __name__ == "__main__":
    main()
