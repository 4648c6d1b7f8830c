#!/usr/bin/env python3
"""The collection's signing and verifying against the real binary: a command
signed in Python is byte for byte what `torv --sign` writes at the same
stamp, an answer signed in Python passes `torv --verify-answer` and a
tampered one fails both, and the host keys are the HMAC openssl computes."""
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "ansible", "plugins", "module_utils"))
import torv_signing as s  # noqa: E402

TORV = os.path.join(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(ROOT, "build", "bin"), "torv")


class Signing(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.key = os.urandom(32).hex()
        self.key_file = os.path.join(self.dir.name, "party.key")
        fd = os.open(self.key_file, os.O_WRONLY | os.O_CREAT, 0o600)
        os.write(fd, (self.key + "\n").encode())
        os.close(fd)

    def tearDown(self):
        self.dir.cleanup()

    def torv(self, *args):
        return subprocess.run([TORV, *args, "--key-file", self.key_file], capture_output=True, check=False)

    def test_commands_sign_as_torv_signs_them(self):
        for command in ["report", "off", "a, b", " lead", "trail\t", 'say "hi"', '"quoted', "two\nlines", "ünïcödé"]:
            with self.subTest(command=command):
                out = self.torv("--sign", command)
                self.assertEqual(out.returncode, 0, out.stderr)
                stamp = int(out.stdout.rsplit(b"HMAC-SHA256 ", 1)[1].split(b" ")[0])
                # The same bytes but for the line ends: the plugin writes CR LF as the manual's recipes do.
                ours = s.signed_command(command, self.key, stamp).encode("utf-8")
                self.assertTrue(ours.endswith(b"\r\n"))
                self.assertEqual(ours[:-2].replace(b"\r\nHMAC", b"\nHMAC") + b"\n", out.stdout)

    def test_answers_verify_as_torv_verifies_them(self):
        body = "Seuquence Init\r\nReport Requested and Generated at:now\r\n\r\n".encode()
        mac = s.hmac.new(bytes.fromhex(self.key), b"TORV-ANSWER\n123\n456\n" + body, s.hashlib.sha256)
        good = ("HMAC-SHA256-ANSWER 123 456 %s\r\n" % mac.hexdigest()).encode()
        other = s.hmac.new(os.urandom(32), b"x", s.hashlib.sha256).hexdigest()
        cases = [
            (body, good, True),
            (body + b"x", good, False),  # Result.txt changed
            (body, good.replace(b" 123 ", b" 124 "), False),  # another command's stamp
            (body, ("HMAC-SHA256-ANSWER 123 456 %s\r\n" % other).encode(), False),
            (body, good.replace(b"-ANSWER", b""), False),  # a command's signature line
        ]
        for result, sig, ok in cases:
            with self.subTest(sig=sig, result=result):
                folder = tempfile.mkdtemp(dir=self.dir.name)
                with open(os.path.join(folder, "Result.txt"), "wb") as f:
                    f.write(result)
                with open(os.path.join(folder, "Result.txt.sig"), "wb") as f:
                    f.write(sig)
                out = self.torv("--verify-answer", folder)
                self.assertEqual(out.returncode == 0, ok, out.stderr)
                if ok:
                    self.assertEqual(s.verify_answer(result, sig, self.key), (123, 456))
                    self.assertEqual(out.stdout.strip(), b"answers 123 written 456")
                else:
                    self.assertRaises(ValueError, s.verify_answer, result, sig, self.key)

    def test_host_keys_and_refusals(self):
        master = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"
        want = subprocess.run(
            ["openssl", "dgst", "-sha256", "-mac", "HMAC", "-macopt", "hexkey:" + master],
            input=b"web-01", capture_output=True, check=True,
        ).stdout.decode().split("= ")[-1].strip()
        self.assertEqual(s.host_key(master, "web-01"), want)
        self.assertNotEqual(s.host_key(master, "web-02"), want)
        self.assertRaises(ValueError, s.host_key, "not hex", "web-01")
        self.assertEqual(s.refusal(["x", "REFUSED UNSIGNED COMMAND (stamp-used) at:1", ""]), "stamp-used")
        self.assertEqual(s.refusal(["HOSTILE COMMAND DEL:at 1"]), "hostile-command")
        self.assertIsNone(s.refusal(["Report Requested and Generated at:1"]))


if __name__ == "__main__":
    unittest.main()
