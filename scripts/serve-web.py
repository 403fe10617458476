#!/usr/bin/env python3
"""Serves the browser build (build/web) on 127.0.0.1 for a person or a test to open.

Every answer carries the two headers that make the page cross-origin isolated, the condition a
browser sets for shared memory between threads: Cross-Origin-Opener-Policy: same-origin and
Cross-Origin-Embedder-Policy: require-corp. --plain leaves them out (the page as most static
hosts serve it). Only 127.0.0.1 is served; port 0 takes a free one, printed on the first line.
"""
import argparse
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    isolated = True
    quiet = False
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{".wasm": "application/wasm", ".js": "text/javascript"})

    def end_headers(self):
        if self.isolated:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):
        if not self.quiet:
            super().log_message(format, *args)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?", default="build/web")
    parser.add_argument("--port", type=int, default=8000)
    parser.add_argument("--plain", action="store_true", help="without the isolation headers")
    parser.add_argument("--quiet", action="store_true", help="no line per request")
    args = parser.parse_args()
    Handler.isolated = not args.plain
    Handler.quiet = args.quiet
    handler = functools.partial(Handler, directory=args.folder)
    try:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), handler)
    except OSError as e:
        sys.exit(f"serve-web: cannot listen on 127.0.0.1:{args.port}: {e.strerror}")
    with server:
        print(f"http://127.0.0.1:{server.server_address[1]}/", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
