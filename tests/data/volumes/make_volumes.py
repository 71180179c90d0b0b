#!/usr/bin/env python3
"""Writes the small volume files the tests read. Run from this folder; the output is checked in.

small.vol     3 x 2 x 2, Scale 0.5, Offset (1, -2, 0.25); voxel (x, y, z) has the distance
              x - 1 + 0.25 * y + 0.125 * z, except (0, 0, 0) and (2, 1, 1), which hold no value
              (10000000.0); (1, 0, 0) holds an edge feature, (1, 1, 1) a corner.
empty.vol     4 x 0 x 3: the header and the end tag only.
cleared.vol   2 x 2 x 2, every voxel cleared.
"""
import struct

NO_VALUE = 10000000.0


def volume(scale, offset, sizes, record):
    nx, ny, nz = sizes
    out = b"VOLUME" + struct.pack("<4f", scale, *offset) + struct.pack("<3i", nx, ny, nz)
    for x in range(nx):          # x outermost, z innermost
        for y in range(ny):
            for z in range(nz):
                distance, feature_offset, feature_type = record(x, y, z)
                out += struct.pack("<4fB", distance, *feature_offset, feature_type)
    return out + b"END"


def small(x, y, z):
    distance = NO_VALUE if (x, y, z) in ((0, 0, 0), (2, 1, 1)) else x - 1 + 0.25 * y + 0.125 * z
    if (x, y, z) == (1, 0, 0):
        return distance, (0.25, -0.5, 0.625), 1
    if (x, y, z) == (1, 1, 1):
        return distance, (0.125, 0.25, -0.375), 2
    return distance, (NO_VALUE,) * 3, 0


def cleared(x, y, z):
    return NO_VALUE, (NO_VALUE,) * 3, 0


for name, data in (("small.vol", volume(0.5, (1.0, -2.0, 0.25), (3, 2, 2), small)),
                   ("empty.vol", volume(1.0, (0.0, 0.0, 0.0), (4, 0, 3), cleared)),
                   ("cleared.vol", volume(1.0, (0.0, 0.0, 0.0), (2, 2, 2), cleared))):
    with open(name, "wb") as f:
        f.write(data)
