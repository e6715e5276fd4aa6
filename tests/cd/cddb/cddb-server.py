#!/usr/bin/env python3
"""A small CDDB server for the tests: "cddb query", "cddb read" and "submit" over HTTP/1.0 from the entries below,
every request recorded byte for byte, and hostile answers chosen by the path (/mode/NAME/...).

Usage: cddb-server.py FOLDER   writes FOLDER/port.txt once it listens on 127.0.0.1; each request goes to
FOLDER/requests/NNNNN.bin and FOLDER/last.bin."""
import os
import socketserver
import sys
import threading
import time
import urllib.parse

FOLDER = sys.argv[1]
REQUESTS = os.path.join(FOLDER, 'requests')
COUNTER = [0]
LOCK = threading.Lock()

# disc id -> list of (category, "artist / title", xmcd text as str, encoding)
ENTRIES = {
    # the protocol's own example disc
    '08025603': [('rock', 'Example Artist / Example Disc', (
        '# xmcd\n#\n# Revision: 4\n#\nDISCID=08025603\nDTITLE=Example Artist / Example Disc\nDYEAR=1999\n'
        'DGENRE=Rock\nTTITLE0=Part one\nTTITLE0= and two\nTTITLE1=Tab\\there\\nand a line\\\\ back\\qslash\n'
        'TTITLE2=Third\nEXTD=disc notes\nEXTT0=first notes\nEXTT1=\nEXTT2=\nPLAYORDER=3,2,1\n'), 'utf-8')],
    # the virtual drive's test image, with UTF-8 titles
    '0a000a03': [('misc', 'Tavrel Testers / Sine Tones', (
        '# xmcd\n#\n# Revision: 1\nDISCID=0a000a03\nDTITLE=Tavrel Testers / Sine Tones\nDYEAR=2026\nDGENRE=Test\n'
        'TTITLE0=Première: A/B\nTTITLE1=Zweite Straße\nTTITLE2=Третий\nEXTD=\nEXTT0=low tones\nEXTT1=\nEXTT2=\n'
        'PLAYORDER=\n'), 'utf-8')],
    # the mixed-mode image: three matches, Latin-1 bytes in one of them
    '0e000803': [('rock', 'First Band / Mixed', 'DTITLE=First Band / Mixed\nTTITLE0=One\nTTITLE1=Two\n', 'utf-8'),
                 ('jazz', 'Zweite Band / Gemischt', 'DTITLE=x\nTTITLE0=Eins\nTTITLE1=Zwei für dich\n', 'latin-1'),
                 ('blues', 'Third Band / Mixed', 'DTITLE=x\nTTITLE0=Uno\nTTITLE1=Dos\n', 'utf-8')],
}
# The 99-track image: twelve matches, the list not ended by "."
ENTRIES['c1000d63'] = [('misc', 'Band %d / Many' % i, 'TTITLE0=t\n', 'utf-8') for i in range(12)]


def record(data):
    with LOCK:
        COUNTER[0] += 1
        name = os.path.join(REQUESTS, '%05d.bin' % COUNTER[0])
    with open(name, 'wb') as f:
        f.write(data)
    with open(os.path.join(FOLDER, 'last.bin.tmp'), 'wb') as f:
        f.write(data)
    os.replace(os.path.join(FOLDER, 'last.bin.tmp'), os.path.join(FOLDER, 'last.bin'))


def answer_for(path, body):
    fields = urllib.parse.parse_qs(body.decode('latin-1'))
    words = fields.get('cmd', [''])[0].split()
    if path.endswith('/submit.cgi'):
        return b'200 OK, submission has been sent.\r\n'
    if words[:2] == ['cddb', 'query'] and len(words) > 2:
        found = ENTRIES.get(words[2], [])
        if not found:
            return b'202 No match found\r\n'
        if len(found) == 1:
            cat, dtitle, _, enc = found[0]
            return ('200 %s %s %s\r\n' % (cat, words[2], dtitle)).encode(enc)
        lines = ''.join('%s %s %s\r\n' % (cat, words[2], dtitle) for cat, dtitle, _, _ in found)
        end = '' if words[2] == 'c1000d63' else '.\r\n'
        return ('211 Found inexact matches, list follows (until terminating `.\')\r\n' + lines + end).encode('utf-8')
    if words[:2] == ['cddb', 'read'] and len(words) > 3:
        for cat, _, text, enc in ENTRIES.get(words[3], []):
            if cat == words[2]:
                return ('210 %s %s CD database entry follows (until terminating `.\')\r\n' % (cat, words[3])).encode(
                    'ascii') + text.replace('\n', '\r\n').encode(enc) + b'.\r\n'
        return b'401 Specified CDDB entry not found.\r\n'
    return b'500 Command syntax error.\r\n'


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        conn = self.request
        conn.settimeout(30)
        data = b''
        try:
            while b'\r\n\r\n' not in data and len(data) < 65536:
                piece = conn.recv(4096)
                if not piece:
                    break
                data += piece
            head, _, body = data.partition(b'\r\n\r\n')
            length = 0
            for line in head.split(b'\r\n')[1:]:
                name, _, value = line.partition(b':')
                if name.strip().lower() == b'content-length':
                    length = int(value.strip() or 0)
            while len(body) < min(length, 1 << 20):
                piece = conn.recv(4096)
                if not piece:
                    break
                body += piece
        except (OSError, ValueError):
            return
        record(head + b'\r\n\r\n' + body)
        target = head.split(b'\r\n')[0].split(b' ')[1].decode('latin-1') if b' ' in head else '/'
        path = urllib.parse.urlsplit(target).path if target.startswith('http://') else target
        mode = path.split('/')[2] if path.startswith('/mode/') else ''
        reply = b'HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n' + answer_for(path, body)
        try:
            if mode == 'cut':
                conn.sendall(b'HTTP/1.0 200 OK\r\n\r\n211 Found inexact matches\r\nrock 0a000a03 Tavrel Te')
            elif mode == 'big':
                conn.sendall(b'HTTP/1.0 200 OK\r\n\r\n' + reply.split(b'\r\n\r\n', 1)[1] + b'x' * (2 << 20))
            elif mode == 'garbage':
                conn.sendall(bytes((i * 131 + 7) % 256 for i in range(8192)))
            elif mode == 'nocode':
                conn.sendall(b'HTTP/1.0 200 OK\r\n\r\nHello, this is not CDDB\r\n')
            elif mode == 'silent':
                time.sleep(60)
            elif mode == 'slow':
                for i in range(len(reply)):
                    conn.sendall(reply[i:i + 1])
                    time.sleep(1)
            elif mode == 'list500':
                lines = ''.join('misc 0a000a03 Band %d / Title %d\r\n' % (i, i) for i in range(500))
                conn.sendall(('HTTP/1.0 200 OK\r\n\r\n211 Found\r\n' + lines + '.\r\n').encode())
            elif mode == 'longcat':
                conn.sendall(b'HTTP/1.0 200 OK\r\n\r\n200 ' + b'c' * 40 + b' 0a000a03 Long / Category\r\n')
            else:
                conn.sendall(reply)
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    os.makedirs(REQUESTS, exist_ok=True)
    server = Server(('127.0.0.1', 0), Handler)
    with open(os.path.join(FOLDER, 'port.tmp'), 'w') as f:
        f.write(str(server.server_address[1]))
    os.replace(os.path.join(FOLDER, 'port.tmp'), os.path.join(FOLDER, 'port.txt'))
    server.serve_forever()


if __name__ == '__main__':
    main()
