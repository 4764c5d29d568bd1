# The Ansible collection (ansible/) as a playbook uses it: each case of stations.yml is one
# play run by ansible-playbook on this machine against the simulated instruments library;
# ansible-doc renders both modules and ansible-galaxy builds the collection. Plain native
# tree only: nothing here is C++.
if(NOT FWU_SANITIZE AND NOT FWU_SANITIZE_THREAD)
  set(ANSIBLE_RUN sh ${CMAKE_CURRENT_LIST_DIR}/run.sh ${PROJECT_SOURCE_DIR}/ansible)
  foreach(case list_two check_mode update_one update_all refused_file program_ng statuses rerun
               current_and_older)
    add_test(NAME fwtool_ansible_${case}
             COMMAND ${ANSIBLE_RUN} ${case} -e fwtool=$<TARGET_FILE:fwtool>
                     -e visa=$<TARGET_FILE:fwsim_visa_so> -e samples=${FWTOOL_DIR}
                     -e work=${CMAKE_CURRENT_BINARY_DIR}/ansible_runs)
    set_tests_properties(fwtool_ansible_${case} PROPERTIES FIXTURES_REQUIRED fwtool_sample
                         TIMEOUT 120)
  endforeach()
  add_test(NAME fwtool_ansible_doc COMMAND ${ANSIBLE_RUN} doc)
  add_test(NAME fwtool_ansible_lint COMMAND ${ANSIBLE_RUN} lint)
  set_tests_properties(fwtool_ansible_lint PROPERTIES TIMEOUT 600)
  add_test(NAME fwtool_ansible_build
           COMMAND ${ANSIBLE_RUN} build ${CMAKE_CURRENT_BINARY_DIR}/ansible_build)
endif()
