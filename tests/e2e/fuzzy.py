#!/usr/bin/env python3
"""Whether OCR text (stdin) shows every expected phrase (arguments), tolerating the few
misread letters OCR makes on small menu fonts: a phrase counts as found when some stretch of
a line is within an edit distance of a fifth of its length (at least 1). Prints the phrases
not found; exits 1 if there are any."""
import sys


def distance_within(phrase, line):
    """Smallest edit distance between the phrase and any substring of the line."""
    previous = [0] * (len(line) + 1)  # a match may start anywhere in the line
    for i, p in enumerate(phrase, 1):
        current = [i] + [0] * len(line)
        for j, c in enumerate(line, 1):
            current[j] = min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (p != c))
        previous = current
    return min(previous)


def main():
    lines = [line.strip().lower() for line in sys.stdin if line.strip()]
    missing = []
    for phrase in sys.argv[1:]:
        wanted = phrase.lower()
        allowed = max(1, len(wanted) // 5)
        if not any(distance_within(wanted, line) <= allowed for line in lines):
            missing.append(phrase)
    for phrase in missing:
        print(f"not on screen: {phrase}")
    return 1 if missing else 0


if __name__ == '__main__':
    sys.exit(main())
