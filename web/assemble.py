#!/usr/bin/env python3
"""Puts the browser build together.

    assemble.py WASM_BUILD DATA_TVL OUT

OUT/site/ is the folder to serve or publish (the page, its script, the
program and its WebAssembly, the archive); OUT/kestrune.html is one file
with all of it inside, which plays when opened from disk. Each file is
written under a temporary name and renamed when complete.
"""
import base64
import os
import shutil
import sys

PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'page')
MARK = '<!--KESTRUNE-PROGRAM-->'


def write(path, data):
    if os.path.lexists(path) and not os.path.isfile(path):
        sys.exit('assemble: %s exists and is not a regular file' % path)
    tmp = path + '.part'
    with open(tmp, 'wb') as f:
        f.write(data)
    os.replace(tmp, path)


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def inline_script(code):
    # A script element ends at the first "</script", wherever it stands.
    return b'<script>' + code.replace(b'</script', b'<\\/script') + b'</script>'


def main():
    wasm_build, archive, out = sys.argv[1:4]
    site = os.path.join(out, 'site')
    os.makedirs(site, exist_ok=True)
    page = read(os.path.join(PAGE, 'index.html'))
    page_js = read(os.path.join(PAGE, 'kestrune-page.js'))
    if MARK.encode() not in page:
        sys.exit('assemble: the page has no place for the program')

    write(os.path.join(site, 'index.html'), page.replace(MARK.encode(), b'<script src="kestrune.js"></script>'))
    write(os.path.join(site, 'kestrune-page.js'), page_js)
    for name in ('kestrune.js', 'kestrune.wasm'):
        write(os.path.join(site, name), read(os.path.join(wasm_build, name)))
    write(os.path.join(site, 'data.tvl'), read(archive))

    single = page.replace(b'<script src="kestrune-page.js"></script>', inline_script(page_js))
    program = (b'<script>window.KESTRUNE_ARCHIVE="' + base64.b64encode(read(archive)) + b'";</script>\n' +
               inline_script(read(os.path.join(wasm_build, 'kestrune_single.js'))))
    write(os.path.join(out, 'kestrune.html'), single.replace(MARK.encode(), program))


if __name__ == '__main__':
    main()
