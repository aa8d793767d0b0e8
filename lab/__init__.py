# SPDX-License-Identifier: MIT
"""Watching the programs from outside: what the tests, the benchmarks and the tools in
scripts/ share. Each module is one concern."""
