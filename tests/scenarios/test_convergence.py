"""Convergence: an installation stopped at any of its records (a power cut, a killed process) and simply run
again, as the framework does, ends in the state an uninterrupted run leaves. labtool receives each record as a
debugger would and terminates the installer at record N, before it is written. OV_CONVERGENCE_EVERY=k: every k-th."""
import os
import unittest

from lab import UPDATES, VERSION_A as A, VERSION_B as B, Lab, changes, set_op
from lab import CLIENT_EXE

EVERY = int(os.environ.get("OV_CONVERGENCE_EVERY", "1"))


class Convergence(unittest.TestCase):
    lab = Lab()

    def start(self, upgrade):
        """The start state: a machine without the product, or with version A and its client running."""
        self.lab.reset()
        self.lab.apply(*[set_op(f"{UPDATES}\\{p}", "status", "unknown") for p in (A, B)])
        if upgrade:
            earlier = self.lab.unpack(A)
            self.assertEqual(self.lab.install(earlier).exit_code, 0)
            self.lab.start(rf"{earlier}\{CLIENT_EXE}")
        return self.lab.unpack(B)

    def converges(self, upgrade):
        reference = self.lab.install(self.start(upgrade))
        self.assertEqual(reference.exit_code, 0)
        expected, failures = self.lab.probe(), []
        points = range(1, len(reference.log) + 1, EVERY)
        for record in points:
            folder = self.start(upgrade)
            stopped = self.lab.install(folder, on=[(record, "kill")])
            again = self.lab.install(folder)
            difference = changes(expected, self.lab.probe())
            if stopped.exit_code == 0xDEAD and again.exit_code == 0 and not difference:
                continue
            failures.append(f"stopped before record {record} ({reference.log[record - 1].text}): exit "
                            f"{stopped.exit_code:#x}, run again {again.exit_code}, "
                            f"differs in {[p for p, _, _ in difference]}")
        kind = "upgrade" if upgrade else "first installation"
        print(f"\nconvergence of the {kind}: {len(points)} interruption points (every {EVERY}. record of "
              f"{len(reference.log)}), {len(points) - len(failures)} converged")
        self.assertEqual(failures, [], "\n".join(failures))

    def test_first_installation(self):
        self.converges(upgrade=False)

    def test_upgrade(self):
        self.converges(upgrade=True)
