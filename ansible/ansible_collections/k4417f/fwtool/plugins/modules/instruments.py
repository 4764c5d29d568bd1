#!/usr/bin/python
# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: instruments
short_description: List the K4417F instruments attached to a station
description:
  - Runs C(fwtool list --json) on the station and returns every K4417F instrument found,
    with its mode and revision field.
  - Sends nothing to an instrument but C(*IDN?); never changes anything, so it also runs in
    check mode.
  - A station without instruments is not a failure; its list is empty.
version_added: 1.0.0
author: K4417F firmware update utility developers
options:
  visa:
    description:
      - The VISA library fwtool loads on the station (its C(--visa)).
      - Unset, fwtool takes C($FWTOOL_VISA), else the platform's usual libraries.
    type: str
  fwtool:
    description:
      - fwtool on the station, a path or a name looked up in C($PATH).
    type: str
    default: fwtool
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
notes:
  - The station needs fwtool and a VISA library; Python 3.9 or later.
seealso:
  - module: k4417f.fwtool.update
"""

EXAMPLES = r"""
- name: The instruments of each station
  k4417f.fwtool.instruments:
  register: found

- name: Show the writer-mode instruments
  ansible.builtin.debug:
    msg: "{{ found.instruments | selectattr('mode', 'eq', 'writer') | map(attribute='serial') }}"

- name: Through a given VISA library
  k4417f.fwtool.instruments:
    visa: /opt/visa/lib/libvisa.so
    fwtool: /usr/local/bin/fwtool
"""

RETURN = r"""
instruments:
  description: One entry per instrument found, in the order of the bus search.
  returned: success
  type: list
  elements: dict
  contains:
    resource:
      description: The VISA resource name, such as C(USB0::0x0D3F::0x1141::TW00012345::INSTR).
      type: str
    serial:
      description: The serial number (the resource's serial field).
      type: str
      sample: TW00012345
    mode:
      description: C(normal), C(writer), or C(unknown) when the instrument could not be
        identified (then C(code) holds the error number); C(busy) while another fwtool
        updates it, C(no-access) when the station's user may not open its device node.
      type: str
      sample: normal
    revisions:
      description: The revision field of the instrument's identification.
      type: str
      sample: 0105AA0BB01CCCC01D0105
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.k4417f.fwtool.plugins.module_utils.fwtool import (
    common_options,
    run_fwtool,
    status_message,
)

NO_INSTRUMENT = 120


def main():
    module = AnsibleModule(argument_spec=common_options(), supports_check_mode=True)
    rc, lines, err = run_fwtool(module, ["list"])
    if rc not in (0, NO_INSTRUMENT):
        module.fail_json(msg=status_message(rc, err), rc=rc, instruments=[])
    # No "rc" in a success: Ansible takes a result with a non-zero one for a failure.
    module.exit_json(changed=False, instruments=lines)


if __name__ == "__main__":
    main()
