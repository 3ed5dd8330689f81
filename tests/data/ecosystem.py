# Writes ecosystem_pandas.csv as pandas' DataFrame.to_csv writes a data frame
# with its defaults (the index under an empty name, NA as an empty cell, a
# dotted name, inf, a level "NA"): the same data as ecosystem.R writes. Then
# ecosystem_latin1.csv, the same with "Peru" as "Perú", in Latin-1 as a
# program set to that encoding writes it.
# Run from tests/data with the python3 of python3-pandas: /usr/bin/python3 ecosystem.py
import math

import pandas as pd

df = pd.DataFrame({
    "Sepal.Length": [5.1, 4.9, math.nan, 4.6, 5.0, 5.4, math.nan, 5.3, 4.4],
    "Country": ["Namibia", "NA", "Chad", None, "Peru", "Mali", "Oman", "Fiji", "Laos"],
    "ratio": [1.5, math.inf, 2.0, -math.inf, 0.5, math.nan, 3.0, 1.0, 2.5],
})
df.to_csv("ecosystem_pandas.csv")
df["Country"] = df["Country"].replace("Peru", "Per\u00fa")
df.to_csv("ecosystem_latin1.csv", encoding="latin-1")
