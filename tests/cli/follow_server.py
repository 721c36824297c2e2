"""A small HTTP server on 127.0.0.1 serving wrapper chains from tests/data/follow.

Routes:
  /FILE                 a file of tests/data/follow, {{BASE}} replaced by this server's URL
  /wrap?to=PATH         a wrapper whose <VASTAdTagURI> is this server's PATH
  /deep/N               a wrapper leading to /deep/N+1, without end
  /slow/PATH            PATH after a pause of SLOW_SECONDS
  /status/CODE          an empty response with that status
  /redirect/PATH        a 302 to /PATH
  /redirect-loop/a, /b  302s to each other
  /latin1               a wrapper-shaped body in ISO-8859-1
  /breaks/N             a VMAP playlist of N breaks, each leading to /chain/inline.xml
Every request path is recorded in `requests`.
"""
import http.server
import pathlib
import threading
import time
import urllib.parse

DATA = pathlib.Path(__file__).resolve().parent.parent / "data" / "follow"
SLOW_SECONDS = 2.0

WRAPPER = """<?xml version="1.0" encoding="UTF-8"?>
<VAST version="4.2">
  <Ad id="{id}">
    <Wrapper>
      <AdSystem>Relay</AdSystem>
      <Impression><![CDATA[https://track.example.com/relay/{id}]]></Impression>
      <VASTAdTagURI><![CDATA[{base}{to}]]></VASTAdTagURI>
    </Wrapper>
  </Ad>
</VAST>
"""


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 10  # a stuck client cannot hold a thread for long

    def log_message(self, *args):
        pass

    def send(self, status, body=b"", content_type="text/xml; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        base = self.server.base
        self.server.requests.append(self.path)
        url = urllib.parse.urlsplit(self.path)
        path = url.path
        if path.startswith("/slow/"):
            time.sleep(SLOW_SECONDS)
            path = path[len("/slow"):]
        if path == "/wrap":
            to = urllib.parse.parse_qs(url.query)["to"][0]
            return self.send(200, WRAPPER.format(id="wrap", base=base, to=to).encode())
        if path.startswith("/deep/"):
            n = int(path.rsplit("/", 1)[1])
            return self.send(200, WRAPPER.format(id=f"deep-{n}", base=base, to=f"/deep/{n + 1}").encode())
        if path.startswith("/status/"):
            return self.send(int(path.rsplit("/", 1)[1]))
        if path.startswith("/redirect/"):
            return self.send(302, headers=[("Location", path[len("/redirect"):])])
        if path == "/redirect-loop/a":
            return self.send(302, headers=[("Location", "/redirect-loop/b")])
        if path == "/redirect-loop/b":
            return self.send(302, headers=[("Location", "/redirect-loop/a")])
        if path.startswith("/breaks/"):
            n = int(path.rsplit("/", 1)[1])
            breaks = "".join(
                f'<vmap:AdBreak timeOffset="#{i + 1}" breakType="linear" breakId="b{i}"><vmap:AdSource>'
                f"<vmap:AdTagURI><![CDATA[{base}/chain/inline.xml?b={i}]]></vmap:AdTagURI></vmap:AdSource>"
                "</vmap:AdBreak>" for i in range(n))
            return self.send(200, ('<vmap:VMAP xmlns:vmap="http://www.iab.net/videosuite/vmap" version="1.0">'
                                   + breaks + "</vmap:VMAP>").encode())
        if path == "/latin1":
            body = WRAPPER.format(id="caf\u00e9", base=base, to="/chain/inline.xml").encode("latin-1")
            return self.send(200, body, "text/xml; charset=iso-8859-1")
        file = (DATA / path.lstrip("/")).resolve()
        if DATA not in file.parents or not file.is_file():
            return self.send(404)
        body = file.read_text().replace("{{BASE}}", base).encode()
        kind = "text/plain" if file.suffix == ".txt" else "text/xml; charset=utf-8"
        return self.send(200, body, kind)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that gave up (timeouts) are expected


class FollowServer:
    """Started and stopped by the tests; listens on 127.0.0.1 only."""

    def __init__(self):
        self.httpd = Server(("127.0.0.1", 0), Handler)
        self.httpd.base = f"http://127.0.0.1:{self.httpd.server_address[1]}"
        self.httpd.requests = []
        self.thread = threading.Thread(target=self.httpd.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True)

    @property
    def base(self):
        return self.httpd.base

    @property
    def requests(self):
        return self.httpd.requests

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(timeout=10)


if __name__ == "__main__":
    # python3 tests/cli/follow_server.py [PORT]: serves the chains until interrupted.
    import sys

    port = int(sys.argv[1]) if len(sys.argv) > 1 else 8000
    httpd = Server(("127.0.0.1", port), Handler)
    httpd.base, httpd.requests = f"http://127.0.0.1:{port}", []
    print(f"serving tests/data/follow at {httpd.base}", flush=True)
    try:
        httpd.serve_forever()
    except KeyboardInterrupt:
        pass
