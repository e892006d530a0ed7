#!/usr/bin/env python3
"""compare_screen.py BEFORE.ppm AFTER.ppm X Y
Checks the test skin shown with its top-left corner at (X, Y): opaque pixels show the picture
exactly, and every pixel outside the outline (alpha 0, and a 16-pixel margin around the picture)
is what the screen showed before the window opened."""
import os
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_skin  # noqa: E402


def read_ppm(path):
    picture = Image.open(path).convert("RGB")
    return picture.width, picture.height, picture.tobytes()


def main():
    _, _, before = read_ppm(sys.argv[1])
    width, height, after = read_ppm(sys.argv[2])
    ox, oy = int(sys.argv[3]), int(sys.argv[4])
    picture = test_skin.pixels()

    def screen(buf, x, y):
        i = (y * width + x) * 3
        return tuple(buf[i:i + 3])

    wrong_inside = wrong_outside = checked_inside = checked_outside = 0
    margin = 16
    for y in range(oy - margin, oy + test_skin.HEIGHT + margin):
        for x in range(ox - margin, ox + test_skin.WIDTH + margin):
            px, py = x - ox, y - oy
            inside_rect = 0 <= px < test_skin.WIDTH and 0 <= py < test_skin.HEIGHT
            alpha = picture[py][px][3] if inside_rect else 0
            if alpha == 255:
                checked_inside += 1
                if screen(after, x, y) != picture[py][px][:3]:
                    wrong_inside += 1
                    if wrong_inside <= 5:
                        print(f"inside ({px},{py}): {screen(after, x, y)} != {picture[py][px][:3]}")
            elif alpha == 0:
                checked_outside += 1
                if screen(after, x, y) != screen(before, x, y):
                    wrong_outside += 1
                    if wrong_outside <= 5:
                        print(f"outside ({px},{py}): {screen(after, x, y)} != {screen(before, x, y)}")
    print(f"opaque pixels: {checked_inside - wrong_inside}/{checked_inside} show the picture; "
          f"outside pixels: {checked_outside - wrong_outside}/{checked_outside} unchanged")
    sys.exit(1 if wrong_inside or wrong_outside else 0)


if __name__ == "__main__":
    main()
