#!/usr/bin/env python3
"""Removes the names widl gives the [out, retval] parameters of property gets.

widl names every unnamed parameter ("a", "b", ...) and clears the name only
for the value of a property put. A named retval would let a dispatch caller
pass it as a named argument, which hosts must not be able to do. This edits
widl's type library (the MSFT format) in place: each such parameter's name
offset becomes -1, as widl writes for the unnamed put values.
"""
import struct
import sys

INVOKE_PROPERTYGET = 2
PARAMFLAG_FRETVAL = 8
PARAMETER_RECORD = 12  # type, name offset, flags


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: unname_retval_parameters.py LIBRARY.tlb")
    path = sys.argv[1]
    data = bytearray(open(path, "rb").read())

    def int32(offset):
        return struct.unpack_from("<i", data, offset)[0]

    if data[:4] != b"MSFT":
        sys.exit("%s is not an MSFT type library" % path)
    header_flags, type_count = int32(0x14), int32(0x20)
    offsets_at = 0x54 + (4 if header_flags & 0x100 else 0)
    type_offsets = [int32(offsets_at + 4 * i) for i in range(type_count)]
    type_info_segment = int32(offsets_at + 4 * type_count)

    for type_offset in type_offsets:
        type_info = type_info_segment + type_offset
        members_at, elements = int32(type_info + 4), int32(type_info + 24)
        record = members_at + 4
        for _ in range(elements & 0xFFFF):
            size = int32(record) & 0xFFFF
            invoke_kind = (int32(record + 16) >> 3) & 0xF
            parameters = int32(record + 20) & 0xFFFF
            for index in range(parameters):
                parameter = record + size - (parameters - index) * PARAMETER_RECORD
                named = int32(parameter + 4) != -1
                retval = int32(parameter + 8) & PARAMFLAG_FRETVAL
                if invoke_kind == INVOKE_PROPERTYGET and retval and named:
                    struct.pack_into("<i", data, parameter + 4, -1)
            record += size
    open(path, "wb").write(data)


if __name__ == "__main__":
    main()
