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


class Verdict:
    def __init__(self):
        self.ok = True

    def expect(self, holds, message):
        if not holds:
            print('error', message)
            self.ok = False
        return holds
