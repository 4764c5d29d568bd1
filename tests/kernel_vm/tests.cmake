# fwtool --visa usbtmc on the kernel's own usbtmc driver (native build only): a QEMU guest
# boots Debian's kernel, each instrument is a fwsim-usbtmc-gadget on one of dummy_hcd's
# UDCs. The guest (it needs the Debian mirror) is made by `make test`, not by `make build`;
# each case is one boot.
if(NOT FWU_SANITIZE AND NOT FWU_SANITIZE_THREAD AND TARGET fwsim_usbtmc_gadget)
  set(VM_DIR ${CMAKE_BINARY_DIR}/kernel_vm)
  set(VM_SCRIPTS ${CMAKE_CURRENT_LIST_DIR})
  add_custom_command(
    OUTPUT ${VM_DIR}/initramfs.gz ${VM_DIR}/vmlinuz
    COMMAND sh ${VM_SCRIPTS}/build_initramfs.sh ${VM_DIR} $<TARGET_FILE:fwtool>
            $<TARGET_FILE:fwsim_usbtmc_gadget> $<TARGET_FILE:fwsim_visa_so>
    DEPENDS fwtool fwsim_usbtmc_gadget fwsim_visa_so ${VM_SCRIPTS}/build_initramfs.sh
            ${VM_SCRIPTS}/fetch_kernel.sh ${VM_SCRIPTS}/guest_init.sh ${VM_SCRIPTS}/guest_cases.sh
            ${CMAKE_CURRENT_LIST_DIR}/../native/make_sample.sh
    COMMENT "The test guest: Debian's kernel and an initramfs around fwtool")
  add_custom_target(kernel_vm_guest DEPENDS ${VM_DIR}/initramfs.gz)

  add_test(NAME kernel_vm_probe COMMAND sh ${VM_SCRIPTS}/run_vm.sh ${VM_DIR} probe)
  set_tests_properties(kernel_vm_probe PROPERTIES FIXTURES_SETUP kernel_vm TIMEOUT 120)
  foreach(case list update unplug late split fill stall silent)
    add_test(NAME fwtool_kernel_usbtmc_${case}
             COMMAND sh ${VM_SCRIPTS}/run_vm.sh ${VM_DIR} ${case})
    set_tests_properties(fwtool_kernel_usbtmc_${case} PROPERTIES
                         FIXTURES_REQUIRED kernel_vm TIMEOUT 480)
  endforeach()
endif()
