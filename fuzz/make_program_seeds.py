#!/usr/bin/env python3
"""Writes the seed corpus of the whole-program fuzz target from examples/:
for every example program and every data set it reads, one seed with that
data set renamed to d and its CSV (and schema sidecar) attached after the
separator lines the target splits on. Seeds named found-* are inputs that
once made the target fail; they are kept. Usage: fuzz/make_program_seeds.py"""
import pathlib
import re

here = pathlib.Path(__file__).resolve().parent
examples = here.parent / "examples"
out = here / "seeds" / "program"
out.mkdir(parents=True, exist_ok=True)
for old in out.glob("*.seed"):
    if not old.name.startswith("found-"):  # inputs that once failed stay
        old.unlink()

for program in sorted(examples.glob("*.vyn")):
    text = program.read_text()
    names = sorted({m.lower() for m in re.findall(r"data=(\w+)", text, re.IGNORECASE)})
    for name in names:
        seed = re.sub(r"(data=)" + name + r"\b", r"\1d", text, flags=re.IGNORECASE)
        seed = seed.rstrip("\n") + "\n%%csv\n" + (examples / f"{name}.csv").read_text()
        schema = examples / f"{name}.schema.json"
        if schema.exists():
            seed = seed.rstrip("\n") + "\n%%schema\n" + schema.read_text()
        (out / f"{program.stem}-{name}.seed").write_text(seed)
