#!/usr/bin/env python3
"""Reads what a release check needs from a Windows executable (standard library only):
machine, subsystem, the DLLs it imports, its version resource and its manifest.

    pecheck.py FILE            prints "machine ...", "subsystem ...", "import DLL" lines,
                               "version A.B.C.D" and "version-strings LANGCP ..." when there is
                               a version resource, and, if there is one, "manifest" followed by
                               the manifest's text
"""
import struct
import sys


def main(path):
    data = open(path, 'rb').read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        sys.exit(f'{path}: not a PE file')
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from('<HHIIIHH', data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from('<H', data, optional)[0]
    wide = magic == 0x20B
    subsystem = struct.unpack_from('<H', data, optional + 68)[0]
    directories = optional + (112 if wide else 96)
    table = optional + optional_size
    section_list = [struct.unpack_from('<8sIIII', data, table + 40 * i) for i in range(sections)]

    def offset(rva):
        for _, vsize, vaddr, rsize, raw in section_list:
            if vaddr <= rva < vaddr + max(vsize, rsize):
                return raw + rva - vaddr
        raise ValueError(f'rva {rva:#x} outside every section')

    def directory(index):
        return struct.unpack_from('<II', data, directories + 8 * index)

    print('machine', {0x14C: 'x86', 0x8664: 'x64'}.get(machine, hex(machine)))
    print('subsystem', {2: 'gui', 3: 'console'}.get(subsystem, str(subsystem)))

    rva, _ = directory(1)
    at = offset(rva) if rva else None
    while at is not None:
        name_rva = struct.unpack_from('<IIIII', data, at)[3]
        if name_rva == 0:
            break
        name = data[offset(name_rva):].split(b'\0', 1)[0].decode()
        print('import', name)
        at += 20

    rva, _ = directory(2)
    if rva:
        base = offset(rva)

        def entries(at):
            named, ids = struct.unpack_from('<HH', data, at + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from('<II', data, at + 16 + 8 * i)
                yield name, target

        def resource(type_wanted):
            """The bytes of the first resource of a type, or None."""
            for type_id, target in entries(base):
                if type_id == type_wanted and target & 0x80000000:
                    for _, names in entries(base + (target & 0x7FFFFFFF)):
                        for _, leaf in entries(base + (names & 0x7FFFFFFF)):
                            data_rva, size = struct.unpack_from('<II', data, base + leaf)
                            return data[offset(data_rva):offset(data_rva) + size]
            return None

        version = resource(16)  # RT_VERSION
        if version:
            fixed = version.find(struct.pack('<I', 0xFEEF04BD))
            if fixed >= 0:
                ms, ls = struct.unpack_from('<II', version, fixed + 8)
                print(f'version {ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}')
            blocks = [b for b in ('040904b0', '040504b0') if b.encode('utf-16-le') in version]
            names = [n for n in ('ProductName', 'CompanyName', 'FileDescription', 'LegalCopyright')
                     if n.encode('utf-16-le') in version]
            print('version-strings', ' '.join(blocks), '|', ' '.join(names))
        manifest = resource(24)  # RT_MANIFEST
        if manifest:
            print('manifest')
            print(manifest.decode('utf-8', 'replace'))


if __name__ == '__main__':
    main(sys.argv[1])
