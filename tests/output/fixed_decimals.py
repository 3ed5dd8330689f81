#!/usr/bin/env python3
"""Prints the expected texts of the fixed-decimal edge cases in render_test.cpp:
the exact binary value of each double rounded half to even by Python's decimal
module, and a value that rounds to zero written without its sign."""
from decimal import Decimal

CASES = [
    (0.125, 2), (0.375, 2), (2.5, 0), (3.5, 0), (-0.5, 0), (-7.25, 1), (-7.35, 1),
    (0.45, 1), (1.0005, 3), (2.675, 2), (0.0005, 3), (99.995, 2), (0.99995, 4),
    (9999999.95, 1), (1.23456785, 7), (0.123456785, 8), (0.5e-8, 8), (12345.6789, 4),
    (99999999.5, 0), (137438953471.5, 0), (float.fromhex("0x1.fffffffffffffp36"), 0),
    (137438953472.5, 0), (2.0**-11, 4), (2.0**-11, 8),
    (float.fromhex("0x1.fffffffffffffp-12"), 4), (-(2.0**-12), 3), (-0.0, 2), (-0.005, 2),
    (5e-324, 8), (1e10, 8), (184517440737.1, 8), (0.1, 9),
    (99.99995, 4), (100.0, 4), (9.99995, 4), (0.0001, 4), (-0.00005, 4), (99.99, 2), (9.995, 2),
    (-12.5, 2),
]

for value, decimals in CASES:
    text = format(Decimal(value), f".{decimals}f")
    if text.startswith("-") and Decimal(text) == 0:
        text = text[1:]
    print(f"{value!r:>24} {decimals} {text}")
