#!/usr/bin/env python3
"""Maps one area at each of a list of bias voltages.

    bias_series.py LEFT TOP RIGHT BOTTOM VOLTS [VOLTS ...] [--port N] [--key-file PATH]

The area is given as a drag on the camera picture would give it (pixels of
the 1232 x 1028 picture, from one corner to the other). Nerin Station must
run with --remote, the 50X or 100X objective mounted. For each bias the
script prints the outcome, the folder and the record of the map it got;
it ends early when a map does not complete (the operator stopped it, or a
device failed).
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

from nerin_station import DEFAULT_PORT, Station, read_table  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("area", type=int, nargs=4, metavar=("LEFT", "TOP", "RIGHT", "BOTTOM"))
    parser.add_argument("volts", type=float, nargs="+")
    parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    parser.add_argument("--key-file")
    args = parser.parse_args()

    with Station(port=args.port, key_file=args.key_file) as station:
        area = station.set_area(*args.area)
        print(f"area: {area['columns']} x {area['rows']} points, {area['width_um']:.1f} x "
              f"{area['height_um']:.1f} um, about {area['minutes']} min per map")
        for volts in args.volts:
            station.set_bias(volts)
            end = station.start_scan()
            print(f"bias {volts:g} V: {end['outcome']}")
            print(f"  folder {end['folder']}")
            print(f"  record {end['record']}")
            tables = [f for f in end["files"] if os.path.basename(f.replace("\\", "/")).startswith("Nerin")
                      and f.endswith(".txt")]
            if tables and os.path.exists(tables[0]):
                rows = read_table(tables[0])
                values = [v for row in rows for v in row]
                print(f"  mean current {sum(values) / len(values):g} uA over {len(values)} points")
            if end["outcome"] != "completed":
                return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
