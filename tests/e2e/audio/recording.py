"""What the recording checks share: reading a raw s16le recording and keeping the verdict."""
import array
import sys


def load(path):
    """The samples of a raw s16le recording, left and right interleaved."""
    samples = array.array('h')
    with open(path, 'rb') as f:
        samples.frombytes(f.read())
    if sys.byteorder != 'little':
        samples.byteswap()
    return samples


def wine_underflows(path):
    """Wine's own lines (WINEDEBUG=warn+pulse) that tell of its sound server running dry; prints
    the first few."""
    with open(path, errors='replace') as f:
        said = [line.strip() for line in f if 'Underflow' in line]
    for line in said[:3]:
        print('wine_said', line)
    return said


class Verdict:
    def __init__(self):
        self.ok = True

    def expect(self, holds, message):
        if not holds:
            print('error', message)
            self.ok = False
        return holds
