"""A private copy of the demo tree for an end-to-end run, without its snapshots (and, when asked, its saved
games)."""
import shutil


def _copy_if_there(src, dst):
    # Other end-to-end runs write into the demo tree meanwhile: a file that vanishes is left out.
    try:
        shutil.copy2(src, dst)
    except FileNotFoundError:
        pass


def copy_demo_tree(demo, tree, without_saved_games=False):
    skip = ("Snapshots", "SavedGames") if without_saved_games else ("Snapshots",)
    shutil.copytree(demo, tree, copy_function=_copy_if_there, ignore=shutil.ignore_patterns(*skip))
