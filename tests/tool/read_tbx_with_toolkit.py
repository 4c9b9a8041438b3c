"""Reads trelvo-tool's TBX export with the TBX reader of a translation tool
(the Translate Toolkit, Debian's python3-translate): every entry arrives as a
unit with its term, translation and note."""
import subprocess
import sys
import tempfile

from translate.storage import tbx

tool, dictionary = sys.argv[1], sys.argv[2]
with tempfile.TemporaryDirectory() as folder:
    path = folder + "/export.tbx"
    exported = subprocess.run([tool, "export", dictionary, path, "--format", "tbx"],
                              check=True, capture_output=True, text=True).stdout
    count = int(exported.split(":")[1])
    store = tbx.tbxfile.parsefile(path)
    units = {unit.source: unit for unit in store.units}
    assert len(store.units) == count, (len(store.units), count)
    assert units["návěstidlo"].target == "signal", units["návěstidlo"].target
    assert units["anglická výhybka"].getnotes() == "hovor.", units["anglická výhybka"].getnotes()
print(f"{count} entries read back by the Translate Toolkit")
