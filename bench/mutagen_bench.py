"""Files per second for mutagen reading the MP3 files of a folder: the tags
(ID3v2 and ID3v1) and the audio properties, as mutagen.mp3.MP3 does.

    /usr/bin/python3 bench/mutagen_bench.py FOLDER [PASSES]
"""
import os
import sys
import time

import mutagen
from mutagen.mp3 import MP3


def read_all(files):
    check = 0
    for path in files:
        audio = MP3(path)
        tags = audio.tags
        if tags is not None:
            title = tags.get("TIT2")
            if title is not None:
                check += len(str(title))
        check += int(audio.info.length * 1000)
    return check


def main():
    folder = sys.argv[1]
    passes = int(sys.argv[2]) if len(sys.argv) > 2 else 2
    files = sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".mp3"))
    read_all(files)  # warms the page cache
    best = 0.0
    for _ in range(passes):
        start = time.perf_counter()
        check = read_all(files)
        best = max(best, len(files) / (time.perf_counter() - start))
    print(f"files:              {len(files)} ({folder})")
    print(f"mutagen {mutagen.version_string} MP3:  {best:.0f} files/s")
    print(f"(checksum {check})")


if __name__ == "__main__":
    main()
